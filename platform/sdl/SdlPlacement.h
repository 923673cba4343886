#pragma once

#include "platform/window/Messages.h"

#include <memory>

struct SDL_Window;
union SDL_Event;

// Window placement of one SDL window on the real window system: the normal rectangle (outer
// frame, screen coordinates), the state, the minimised and maximised positions, kept also while
// the window is hidden, minimised or maximised. The SDL window host owns one per top-level window
// and forwards its window events here.
class SdlPlacement {
public:
    explicit SdlPlacement(SDL_Window* window);
    ~SdlPlacement();

    void OnEvent(const SDL_Event& event);  // SDL_WINDOWEVENT for this window
    void BeforeHide();                     // the window is about to be hidden
    // Shows the window with a show command, applying any placement set while hidden.
    void Show(unsigned showCmd);

    bool Get(WINDOWPLACEMENT& placement);
    bool Set(const WINDOWPLACEMENT& placement);
    bool IsIconic();

private:
    struct State;
    std::unique_ptr<State> state_;
};
