#include "platform/sdl/SdlPlacement.h"

#include <SDL.h>
#include <SDL_syswm.h>

#if defined(SDL_VIDEO_DRIVER_X11)
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#define ZIM_X11 1
#endif

namespace {

struct Frame {
    int left = 0, top = 0, right = 0, bottom = 0;
    bool Known() const { return left != 0 || top != 0 || right != 0 || bottom != 0; }
};

enum class Mode { Normal, Minimized, Maximized };

}  // namespace

struct SdlPlacement::State {
    SDL_Window* window = nullptr;
#if ZIM_X11
    Display* display = nullptr;
    ::Window xwindow = 0;
#endif
    RECT normal;  // outer frame of the restored window
    POINT minPosition{-1, -1};
    POINT maxPosition{-1, -1};
    Mode mode = Mode::Normal;
    bool restoreToMaximized = false;
    bool shown = false;  // shown by us; a minimised window counts as shown
    bool moving = false; // asked to move; the screen shows the old place until the move is seen
    Frame frame;         // the last frame the window manager gave the window

    bool X11() const
    {
#if ZIM_X11
        return display != nullptr;
#else
        return false;
#endif
    }

    // The frame as it is now, or as it was last seen: a hidden window has none, and the window
    // manager tells its size only once asked or once it manages the window.
    Frame CurrentFrame()
    {
        Frame f;
        if (SDL_GetWindowBordersSize(window, &f.top, &f.left, &f.bottom, &f.right) == 0 && f.Known()) {
            frame = f;
            return frame;
        }
#if ZIM_X11
        if (display != nullptr) {
            Atom extents = XInternAtom(display, "_NET_FRAME_EXTENTS", True);
            Atom type = None;
            int format = 0;
            unsigned long count = 0, after = 0;
            unsigned char* data = nullptr;
            if (extents != None &&
                XGetWindowProperty(display, xwindow, extents, 0, 4, False, XA_CARDINAL, &type, &format, &count, &after,
                                   &data) == Success &&
                data != nullptr && format == 32 && count == 4) {
                const long* v = reinterpret_cast<const long*>(data);
                f = {static_cast<int>(v[0]), static_cast<int>(v[2]), static_cast<int>(v[1]), static_cast<int>(v[3])};
                if (f.Known())
                    frame = f;
            }
            if (data != nullptr)
                XFree(data);
        }
#endif
        return frame;
    }

    void RequestFrameExtents()
    {
#if ZIM_X11
        if (display == nullptr)
            return;
        Atom request = XInternAtom(display, "_NET_REQUEST_FRAME_EXTENTS", False);
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = xwindow;
        event.xclient.message_type = request;
        event.xclient.format = 32;
        XSendEvent(display, DefaultRootWindow(display), False, SubstructureRedirectMask | SubstructureNotifyMask,
                   &event);
        XFlush(display);
#endif
    }

    // Where the client area's top-left corner is on the screen.
    void ClientOrigin(int& x, int& y)
    {
#if ZIM_X11
        if (display != nullptr) {
            ::Window child = 0;
            if (XTranslateCoordinates(display, xwindow, DefaultRootWindow(display), 0, 0, &x, &y, &child))
                return;
        }
#endif
        SDL_GetWindowPosition(window, &x, &y);
    }

    bool Mapped() const
    {
        Uint32 flags = SDL_GetWindowFlags(window);
        return shown && (flags & SDL_WINDOW_SHOWN) && !(flags & (SDL_WINDOW_HIDDEN | SDL_WINDOW_MINIMIZED));
    }

    // Takes the normal rectangle from the screen while the window shows it.
    void Refresh()
    {
        if (moving || mode != Mode::Normal || !Mapped() || (SDL_GetWindowFlags(window) & SDL_WINDOW_MAXIMIZED))
            return;
        Frame f = CurrentFrame();
        int x = 0, y = 0, w = 0, h = 0;
        ClientOrigin(x, y);
        SDL_GetWindowSize(window, &w, &h);
        normal = {x - f.left, y - f.top, x + w + f.right, y + h + f.bottom};
    }

    // Puts the frame's top-left corner at a point. The window manager places a window's frame
    // where the window is asked to go, mapped or not, so a hidden window appears there later.
    void MoveFrame(int left, int top)
    {
        moving = Mapped();
#if ZIM_X11
        if (display != nullptr) {
            XMoveWindow(display, xwindow, left, top);
            XFlush(display);
            return;
        }
#endif
        int t = 0, l = 0, b = 0, r = 0;
        SDL_GetWindowBordersSize(window, &t, &l, &b, &r);
        SDL_SetWindowPosition(window, left + l, top + t);
    }

    void KeepSize(int left, int top)
    {
        int width = normal.right - normal.left;
        int height = normal.bottom - normal.top;
        normal = {left, top, left + width, top + height};
    }
};

SdlPlacement::SdlPlacement(SDL_Window* window) : state_(std::make_unique<State>())
{
    State& s = *state_;
    s.window = window;
#if ZIM_X11
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWindowWMInfo(window, &info) == SDL_TRUE && info.subsystem == SDL_SYSWM_X11) {
        s.display = info.info.x11.display;
        s.xwindow = info.info.x11.window;
    }
#endif
    // Ask now, so that the frame is known by the time a hidden window's placement is read.
    s.RequestFrameExtents();
    // Not yet shown: the window manager will put the frame where the window was made.
    int x = 0, y = 0, w = 0, h = 0;
    SDL_GetWindowPosition(window, &x, &y);
    SDL_GetWindowSize(window, &w, &h);
    Frame f = s.CurrentFrame();
    s.normal = {x, y, x + w + f.left + f.right, y + h + f.top + f.bottom};
}

SdlPlacement::~SdlPlacement() = default;

void SdlPlacement::OnEvent(const SDL_Event& event)
{
    if (event.type != SDL_WINDOWEVENT || event.window.windowID != SDL_GetWindowID(state_->window))
        return;
    State& s = *state_;
    switch (event.window.event) {
    case SDL_WINDOWEVENT_MINIMIZED:
        if (!s.shown)
            return;
        if (s.mode == Mode::Maximized)
            s.restoreToMaximized = true;
        s.mode = Mode::Minimized;
        break;
    case SDL_WINDOWEVENT_MAXIMIZED:
        if (!s.shown)
            return;
        s.Refresh();  // the last normal place, if no move was seen yet
        s.mode = Mode::Maximized;
        s.restoreToMaximized = false;
        break;
    case SDL_WINDOWEVENT_RESTORED:
        if (!s.shown)
            return;
        s.mode = (SDL_GetWindowFlags(s.window) & SDL_WINDOW_MAXIMIZED) ? Mode::Maximized : Mode::Normal;
        s.restoreToMaximized = false;
        s.Refresh();
        break;
    case SDL_WINDOWEVENT_MOVED:
        s.moving = false;
        s.Refresh();
        break;
    case SDL_WINDOWEVENT_SIZE_CHANGED:
    case SDL_WINDOWEVENT_SHOWN:
    case SDL_WINDOWEVENT_EXPOSED:
        s.Refresh();
        break;
    default:
        break;
    }
}

void SdlPlacement::BeforeHide()
{
    State& s = *state_;
    // Once hidden, the window manager lets go of the window and its frame, and the window sits
    // where the frame was: what counts is where it was while it showed.
    s.Refresh();
    s.shown = false;
}

void SdlPlacement::Show(unsigned showCmd)
{
    State& s = *state_;
    if (showCmd == SW_HIDE) {
        BeforeHide();
        SDL_HideWindow(s.window);
        return;
    }
    if (!s.shown) {
        s.MoveFrame(s.normal.left, s.normal.top);
        s.shown = true;
        SDL_ShowWindow(s.window);
    }
    switch (showCmd) {
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE:
    case SW_SHOWMINNOACTIVE:
        // Minimised once the window manager says so: it may refuse a window without the button.
        SDL_MinimizeWindow(s.window);
        break;
    case SW_SHOWMAXIMIZED:
        // The window manager may refuse a window of fixed size; the state follows what it did.
        SDL_MaximizeWindow(s.window);
        break;
    case SW_SHOW:
        break;
    default:
        if (SDL_GetWindowFlags(s.window) & (SDL_WINDOW_MINIMIZED | SDL_WINDOW_MAXIMIZED))
            SDL_RestoreWindow(s.window);
        if (s.mode == Mode::Minimized && s.restoreToMaximized)
            s.mode = Mode::Maximized;
        else if (s.mode == Mode::Minimized)
            s.mode = Mode::Normal;
        s.restoreToMaximized = false;
        break;
    }
}

bool SdlPlacement::Get(WINDOWPLACEMENT& placement)
{
    State& s = *state_;
    s.Refresh();
    // A frame learnt since the window was made changes its outer size.
    Frame f = s.CurrentFrame();
    if (!s.shown && f.Known()) {
        int w = 0, h = 0;
        SDL_GetWindowSize(s.window, &w, &h);
        s.normal.right = s.normal.left + w + f.left + f.right;
        s.normal.bottom = s.normal.top + h + f.top + f.bottom;
    }
    placement.length = sizeof(WINDOWPLACEMENT);
    placement.flags = (s.mode == Mode::Minimized && s.restoreToMaximized) ? 2u /* WPF_RESTORETOMAXIMIZED */ : 0u;
    placement.showCmd = s.mode == Mode::Minimized   ? SW_SHOWMINIMIZED
                        : s.mode == Mode::Maximized ? SW_SHOWMAXIMIZED
                                                    : SW_SHOWNORMAL;
    placement.ptMinPosition = s.minPosition;
    placement.ptMaxPosition = s.maxPosition;
    placement.rcNormalPosition = s.normal;
    return true;
}

bool SdlPlacement::Set(const WINDOWPLACEMENT& placement)
{
    State& s = *state_;
    s.minPosition = placement.ptMinPosition;
    s.maxPosition = placement.ptMaxPosition;
    s.KeepSize(placement.rcNormalPosition.left, placement.rcNormalPosition.top);
    // A maximised window stays where it is; the new place is where it comes back to.
    if (!s.shown || s.mode != Mode::Maximized)
        s.MoveFrame(s.normal.left, s.normal.top);
    if (placement.showCmd != SW_HIDE)
        Show(placement.showCmd);
    return true;
}

bool SdlPlacement::IsIconic() { return state_->mode == Mode::Minimized; }
