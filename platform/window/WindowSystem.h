#pragma once

#include "platform/controls/Graphics.h"
#include "platform/window/NativeWindow.h"

#include <memory>
#include <string>
#include <vector>

class TApplication;

// Message box types and results.
inline constexpr unsigned MB_OK = 0x0000;
inline constexpr unsigned MB_ICONSTOP = 0x0010;
inline constexpr unsigned MB_TASKMODAL = 0x2000;
inline constexpr int IDOK = 1;

// The window system a backend provides: SDL2 for the program, a recording one for tests.
class WindowSystem {
public:
    virtual ~WindowSystem() = default;

    virtual std::unique_ptr<WindowHost> CreateHost(NativeWindow& window, const WindowParams& params) = 0;
    // Runs until the application is terminated. Called on the window thread without the UI lock.
    virtual void RunMessageLoop(TApplication& application) = 0;
    // Wakes the message loop so that it sees a terminate request or a change to draw.
    virtual void Wake() = 0;
    // A modal box: text, caption, one OK button and the stop icon. `owned` boxes belong to the
    // application (its windows are disabled while it is up); the fatal box has no owner.
    virtual int MessageBox(const std::string& text, const std::string& caption, unsigned type, bool owned) = 0;
    // Size of a text drawn in a font; the height is the em.
    virtual TSize MeasureText(const TFont& font, const std::string& text) = 0;
    // The work areas of the displays, in screen coordinates.
    virtual std::vector<RECT> WorkAreas() = 0;
};

WindowSystem& CurrentWindowSystem();
void SetWindowSystem(WindowSystem* system);
bool HasWindowSystem();
