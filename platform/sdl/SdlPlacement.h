#pragma once

#include "platform/window/Messages.h"

#include <memory>

struct SDL_Window;
union SDL_Event;

// Window placement of one SDL window on the real window system: the normal rectangle (outer
// frame, screen coordinates), the state, the minimised and maximised positions, kept also while
// the window is hidden, minimised or maximised. The SDL window host owns one per top-level window
// and forwards its window events here:
//
//   SDL_WINDOWEVENT for the window   -> OnEvent
//   WindowHost::Show(SW_HIDE)        -> BeforeHide, then hide the window
//   WindowHost::Show(anything else)  -> Show (it shows the window itself)
//   WindowHost::GetPlacement         -> Get
//   WindowHost::SetPlacement         -> Set (shows the window itself unless SW_HIDE)
//   WindowHost::IsIconic             -> IsIconic
//
// The window keeps its size: the normal rectangle moves it, and its right and bottom edges always
// report the window's real outer size.
class SdlPlacement {
public:
    explicit SdlPlacement(SDL_Window* window);
    ~SdlPlacement();
    SdlPlacement(const SdlPlacement&) = delete;
    SdlPlacement& operator=(const SdlPlacement&) = delete;

    void OnEvent(const SDL_Event& event);  // SDL_WINDOWEVENT for this window
    void BeforeHide();                     // the window is about to be hidden
    // Shows the window with a show command, applying any placement set while hidden. SW_HIDE
    // hides it.
    void Show(unsigned showCmd);

    bool Get(WINDOWPLACEMENT& placement);
    bool Set(const WINDOWPLACEMENT& placement);
    // Minimised, also while hidden after having been minimised.
    bool IsIconic();

private:
    struct State;
    std::unique_ptr<State> state_;
};
