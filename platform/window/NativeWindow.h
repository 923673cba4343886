#pragma once

#include "platform/window/Messages.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class NativeWindow;
using HWND = NativeWindow*;

// A window procedure. Replaceable per window and chainable, like SetWindowLong(GWL_WNDPROC) and
// CallWindowProc: whoever replaces one keeps the previous one and hands messages on to it.
class WindowProcedure {
public:
    virtual ~WindowProcedure() = default;
    virtual std::int32_t Call(HWND wnd, std::uint32_t msg, std::int32_t wParam, std::int32_t lParam) = 0;
};
using WNDPROC = std::shared_ptr<WindowProcedure>;

// A procedure bound to an object's method: it builds the message record with result 0, calls the
// method and returns the record's result.
WNDPROC MakeObjectInstance(std::function<void(TMessage&)> method);

// The backend's part of a top-level window (an SDL window, or the headless record of one).
class WindowHost {
public:
    virtual ~WindowHost() = default;
    virtual void SetCaption(const std::string& caption) = 0;
    virtual void Show(std::uint32_t showCmd) = 0;  // SW_HIDE, SW_SHOWNORMAL, ...
    virtual bool Visible() const = 0;
    virtual bool GetPlacement(WINDOWPLACEMENT& placement) = 0;
    virtual bool SetPlacement(const WINDOWPLACEMENT& placement) = 0;
    virtual bool IsIconic() = 0;
    // Something drawn in the window changed; the window thread repaints when it next can.
    virtual void Invalidate() = 0;
};

struct DrawCommand;

// What a top-level window is made with. The two callbacks are how the backend reaches the form;
// it calls them on the window thread under the UI lock.
struct WindowParams {
    std::string caption;
    std::function<void(std::vector<DrawCommand>& list)> paint;
    std::function<void(std::uint32_t msg, std::int32_t wParam, int x, int y)> pointer;
    int left = 0;  // outer frame, screen coordinates
    int top = 0;
    int clientWidth = 0;
    int clientHeight = 0;
};

// One native window: a form's or a panel's. Top-level windows have a host; a panel's window is a
// child that lives inside its form's host and gets its messages routed there.
class NativeWindow {
public:
    NativeWindow(WNDPROC defaultProc, NativeWindow* parent);
    ~NativeWindow();
    NativeWindow(const NativeWindow&) = delete;
    NativeWindow& operator=(const NativeWindow&) = delete;

    NativeWindow* Parent() const { return parent_; }
    WindowHost* Host() const { return host_.get(); }
    void SetHost(std::unique_ptr<WindowHost> host) { host_ = std::move(host); }

    WNDPROC Proc() const { return proc_; }
    WNDPROC ReplaceProc(WNDPROC proc);

    // Sends WM_DESTROY through the current procedure while the window still exists, then lets
    // the host go. An error from a procedure comes back out of here, with the window gone.
    void Destroy();
    bool Destroyed() const { return destroyed_; }

private:
    WNDPROC proc_;
    NativeWindow* parent_;
    std::unique_ptr<WindowHost> host_;
    bool destroyed_ = false;
};

// The window system calls, over native windows.
WNDPROC SetWindowProc(HWND wnd, WNDPROC proc);  // gives the previous procedure
WNDPROC GetWindowProc(HWND wnd);
std::int32_t CallWindowProc(const WNDPROC& proc, HWND wnd, std::uint32_t msg, std::int32_t wParam, std::int32_t lParam);
std::int32_t SendMessage(HWND wnd, std::uint32_t msg, std::int32_t wParam = 0, std::int32_t lParam = 0);
bool IsWindow(HWND wnd);
bool GetWindowPlacement(HWND wnd, WINDOWPLACEMENT* placement);
bool SetWindowPlacement(HWND wnd, const WINDOWPLACEMENT* placement);
bool IsIconic(HWND wnd);
