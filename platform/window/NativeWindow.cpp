#include "platform/window/NativeWindow.h"

#include <algorithm>
#include <mutex>

namespace {

class ObjectProcedure final : public WindowProcedure {
public:
    explicit ObjectProcedure(std::function<void(TMessage&)> method) : method_(std::move(method)) {}
    std::int32_t Call(HWND, std::uint32_t msg, std::int32_t wParam, std::int32_t lParam) override
    {
        TMessage message{msg, wParam, lParam, 0};
        method_(message);
        return message.Result;
    }

private:
    std::function<void(TMessage&)> method_;
};

// Live windows, so that a stale handle is recognised instead of followed.
std::vector<NativeWindow*>& LiveWindows()
{
    static std::vector<NativeWindow*> live;
    return live;
}
std::mutex liveMutex;

}  // namespace

WNDPROC MakeObjectInstance(std::function<void(TMessage&)> method)
{
    return std::make_shared<ObjectProcedure>(std::move(method));
}

NativeWindow::NativeWindow(WNDPROC defaultProc, NativeWindow* parent) : proc_(std::move(defaultProc)), parent_(parent)
{
    std::lock_guard lock(liveMutex);
    LiveWindows().push_back(this);
}

NativeWindow::~NativeWindow()
{
    std::lock_guard lock(liveMutex);
    auto& live = LiveWindows();
    live.erase(std::remove(live.begin(), live.end(), this), live.end());
}

WNDPROC NativeWindow::ReplaceProc(WNDPROC proc)
{
    std::swap(proc_, proc);
    return proc;
}

void NativeWindow::Destroy()
{
    if (destroyed_)
        return;
    struct Finish {
        NativeWindow* self;
        ~Finish()
        {
            self->destroyed_ = true;
            self->host_.reset();
        }
    } finish{this};
    if (proc_)
        proc_->Call(this, WM_DESTROY, 0, 0);
}

WNDPROC SetWindowProc(HWND wnd, WNDPROC proc) { return IsWindow(wnd) ? wnd->ReplaceProc(std::move(proc)) : nullptr; }

WNDPROC GetWindowProc(HWND wnd) { return IsWindow(wnd) ? wnd->Proc() : nullptr; }

std::int32_t CallWindowProc(const WNDPROC& proc, HWND wnd, std::uint32_t msg, std::int32_t wParam, std::int32_t lParam)
{
    return proc ? proc->Call(wnd, msg, wParam, lParam) : 0;
}

std::int32_t SendMessage(HWND wnd, std::uint32_t msg, std::int32_t wParam, std::int32_t lParam)
{
    if (!IsWindow(wnd))
        return 0;
    WNDPROC proc = wnd->Proc();  // held, so that a procedure that unhooks itself stays alive
    return CallWindowProc(proc, wnd, msg, wParam, lParam);
}

bool IsWindow(HWND wnd)
{
    if (wnd == nullptr)
        return false;
    std::lock_guard lock(liveMutex);
    const auto& live = LiveWindows();
    return std::find(live.begin(), live.end(), wnd) != live.end() && !wnd->Destroyed();
}

bool GetWindowPlacement(HWND wnd, WINDOWPLACEMENT* placement)
{
    if (!IsWindow(wnd) || wnd->Host() == nullptr || placement == nullptr || placement->length != sizeof(WINDOWPLACEMENT))
        return false;
    return wnd->Host()->GetPlacement(*placement);
}

bool SetWindowPlacement(HWND wnd, const WINDOWPLACEMENT* placement)
{
    if (!IsWindow(wnd) || wnd->Host() == nullptr || placement == nullptr || placement->length != sizeof(WINDOWPLACEMENT))
        return false;
    return wnd->Host()->SetPlacement(*placement);
}

bool IsIconic(HWND wnd) { return IsWindow(wnd) && wnd->Host() != nullptr && wnd->Host()->IsIconic(); }
