#include "platform/sdl/SdlWindowSystem.h"

#include "platform/core/Application.h"
#include "platform/core/UILock.h"
#include "platform/controls/Form.h"
#include "platform/sdl/SdlFonts.h"
#include "platform/sdl/SdlIcon.h"
#include "platform/sdl/SdlMessageBox.h"
#include "platform/sdl/SdlPlacement.h"
#include "platform/sdl/SdlRender.h"
#include "platform/services/Cursor.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <algorithm>
#include <atomic>
#include <stdexcept>

struct SdlWindowSystem::Impl {
    SdlFonts fonts;
    Uint32 wakeEvent = 0;
    std::atomic<bool> wakePending{false};
    std::vector<class SdlHost*> hosts;
    int modalDepth = 0;

    SdlHost* HostFor(Uint32 windowId);
    void RenderDirty();
    void Wake();
    // Handles one event for the windows of the program; input is dropped while a box is up.
    void Handle(const SDL_Event& event, TApplication* application);
};

namespace {

// A fixed single frame with the system menu and the close box only: ask the window manager
// for no minimise or maximise buttons and no resizing (the Motif hints most of them read).
void AskForFixedFrame(SDL_Window* window)
{
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11)
        return;
    constexpr long kFunctions = 1L << 0, kDecorations = 1L << 1;
    constexpr long kFuncMove = 1L << 2, kFuncClose = 1L << 5;
    constexpr long kDecorBorder = 1L << 1, kDecorTitle = 1L << 3, kDecorMenu = 1L << 4;
    long hints[5] = {kFunctions | kDecorations, kFuncMove | kFuncClose, kDecorBorder | kDecorTitle | kDecorMenu, 0, 0};
    Display* display = info.info.x11.display;
    Atom motif = XInternAtom(display, "_MOTIF_WM_HINTS", False);
    XChangeProperty(display, info.info.x11.window, motif, motif, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(hints), 5);
}

}  // namespace

class SdlHost final : public WindowHost {
public:
    SdlHost(SdlWindowSystem::Impl& impl, NativeWindow& native, const WindowParams& params)
        : impl_(impl), native_(native), params_(params)
    {
        window_ = SDL_CreateWindow(params.caption.c_str(), params.left, params.top, params.clientWidth,
                                   params.clientHeight, SDL_WINDOW_HIDDEN);
        if (window_ == nullptr)
            throw std::runtime_error(std::string("cannot create a window: ") + SDL_GetError());
        AskForFixedFrame(window_);
        placement_ = std::make_unique<SdlPlacement>(window_);
        renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
        if (SDL_Surface* icon = MakeZimbrotIcon()) {
            SDL_SetWindowIcon(window_, icon);
            SDL_FreeSurface(icon);
        }
        impl_.hosts.push_back(this);
    }

    ~SdlHost() override
    {
        impl_.hosts.erase(std::remove(impl_.hosts.begin(), impl_.hosts.end(), this), impl_.hosts.end());
        painter_.reset();
        placement_.reset();
        if (renderer_ != nullptr)
            SDL_DestroyRenderer(renderer_);
        SDL_DestroyWindow(window_);
    }

    void SetCaption(const std::string& caption) override { SDL_SetWindowTitle(window_, caption.c_str()); }

    void Show(std::uint32_t showCmd) override
    {
        if (showCmd == SW_HIDE)
            placement_->BeforeHide();
        placement_->Show(showCmd);
        Invalidate();
    }

    bool Visible() const override { return (SDL_GetWindowFlags(window_) & SDL_WINDOW_SHOWN) != 0; }

    bool GetPlacement(WINDOWPLACEMENT& placement) override { return placement_->Get(placement); }

    bool SetPlacement(const WINDOWPLACEMENT& placement) override
    {
        bool done = placement_->Set(placement);
        Invalidate();
        return done;
    }

    bool IsIconic() override { return placement_->IsIconic(); }

    void OnWindowEvent(const SDL_Event& event) { placement_->OnEvent(event); }

    void Invalidate() override
    {
        dirty_.store(true);
        impl_.Wake();
    }

    // Copies what the window shows under the lock, then draws it without.
    void Render()
    {
        if (!dirty_.exchange(false) || renderer_ == nullptr || !Visible())
            return;
        DrawList list;
        {
            UIGuard guard;
            if (params_.paint)
                params_.paint(list);
        }
        if (!painter_)
            painter_ = std::make_unique<SdlPainter>(renderer_, impl_.fonts);
        painter_->Draw(list, params_.clientWidth, params_.clientHeight);
        SDL_RenderPresent(renderer_);
    }

    void Pointer(std::uint32_t msg, std::int32_t wParam, int x, int y)
    {
        UIGuard guard;
        if (params_.pointer)
            params_.pointer(msg, wParam, x, y);
    }

    void Send(std::uint32_t msg, std::int32_t wParam)
    {
        UIGuard guard;
        SendMessage(&native_, msg, wParam, 0);
    }

    SDL_Window* Window() const { return window_; }
    Uint32 Id() const { return SDL_GetWindowID(window_); }
    void MarkDirty() { dirty_.store(true); }

private:
    SdlWindowSystem::Impl& impl_;
    NativeWindow& native_;
    WindowParams params_;
    SDL_Window* window_ = nullptr;
    SDL_Renderer* renderer_ = nullptr;
    std::unique_ptr<SdlPainter> painter_;
    std::unique_ptr<SdlPlacement> placement_;
    std::atomic<bool> dirty_{true};
};

void SdlWindowSystem::Impl::RenderDirty()
{
    for (SdlHost* host : hosts)
        host->Render();
}

SdlHost* SdlWindowSystem::Impl::HostFor(Uint32 windowId)
{
    for (SdlHost* host : hosts)
        if (host->Id() == windowId)
            return host;
    return nullptr;
}

namespace {

std::int32_t ButtonState(Uint32 buttons)
{
    std::int32_t wParam = 0;
    if (buttons & SDL_BUTTON_LMASK)
        wParam |= MK_LBUTTON;
    if (buttons & SDL_BUTTON_RMASK)
        wParam |= MK_RBUTTON;
    if (buttons & SDL_BUTTON_MMASK)
        wParam |= MK_MBUTTON;
    SDL_Keymod mod = SDL_GetModState();
    if (mod & KMOD_SHIFT)
        wParam |= MK_SHIFT;
    if (mod & KMOD_CTRL)
        wParam |= MK_CONTROL;
    return wParam;
}

std::uint32_t ButtonMessage(Uint8 button, bool down)
{
    switch (button) {
    case SDL_BUTTON_LEFT: return down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
    case SDL_BUTTON_RIGHT: return down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
    case SDL_BUTTON_MIDDLE: return down ? WM_MBUTTONDOWN : WM_MBUTTONUP;
    default: return 0;
    }
}

}  // namespace

void SdlWindowSystem::Impl::Handle(const SDL_Event& event, TApplication* application)
{
    bool input = modalDepth == 0;
    switch (event.type) {
    case SDL_QUIT:
        // SIGINT and SIGTERM arrive here: close the main window as its close box would.
        if (application != nullptr && application->MainForm() != nullptr && application->MainForm()->HandleAllocated())
            if (SdlHost* host = dynamic_cast<SdlHost*>(application->MainForm()->Handle()->Host()))
                host->Send(WM_CLOSE, 0);
        break;
    case SDL_WINDOWEVENT: {
        SdlHost* host = HostFor(event.window.windowID);
        if (host == nullptr)
            break;
        host->OnWindowEvent(event);
        switch (event.window.event) {
        case SDL_WINDOWEVENT_CLOSE:
            if (input)
                host->Send(WM_CLOSE, 0);
            break;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
            host->Send(WM_ACTIVATE, 1);
            break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
            host->Send(WM_ACTIVATE, 0);
            break;
        case SDL_WINDOWEVENT_LEAVE:
            host->Send(WM_MOUSELEAVE, 0);
            break;
        default:
            host->MarkDirty();
            break;
        }
        break;
    }
    case SDL_MOUSEMOTION:
        if (SdlHost* host = HostFor(event.motion.windowID); host != nullptr && input)
            host->Pointer(WM_MOUSEMOVE, ButtonState(event.motion.state), event.motion.x, event.motion.y);
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        if (SdlHost* host = HostFor(event.button.windowID); host != nullptr && input) {
            bool down = event.type == SDL_MOUSEBUTTONDOWN;
            if (std::uint32_t msg = ButtonMessage(event.button.button, down))
                host->Pointer(msg, ButtonState(SDL_GetMouseState(nullptr, nullptr)), event.button.x, event.button.y);
        }
        break;
    default:
        if (event.type == wakeEvent)
            wakePending.store(false);
        break;
    }
}

SdlWindowSystem::SdlWindowSystem() : impl_(std::make_unique<Impl>())
{
    // A 201 x 248 window draws fastest straight into an X image; without this SDL would put the
    // software renderer's frame through OpenGL, loading Mesa for nothing.
    SDL_SetHint(SDL_HINT_RENDER_DRIVER, "software");
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    // Closing the main window ends the program through its own message, after its placement is
    // saved; a quit that SDL queued for the last window would only dismiss a box shown then.
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
    SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_PING, "1");
    // Without a desktop SDL falls back to drivers that show nothing (offscreen); a player would
    // see a game running nowhere. Those stay available to whoever asks for one by name.
    bool driverAsked = SDL_getenv("SDL_VIDEODRIVER") != nullptr;
    if (!driverAsked && SDL_getenv("DISPLAY") == nullptr && SDL_getenv("WAYLAND_DISPLAY") == nullptr)
        throw std::runtime_error("cannot open the display: no X11 or Wayland display (DISPLAY is not set)");
    // Only the desktop that is there is tried, so that a failure says one thing.
    if (!driverAsked)
        SDL_SetHint(SDL_HINT_VIDEODRIVER, SDL_getenv("DISPLAY") != nullptr ? "x11" : "wayland");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
        const char* name = SDL_getenv("DISPLAY") != nullptr ? SDL_getenv("DISPLAY") : SDL_getenv("WAYLAND_DISPLAY");
        throw std::runtime_error(std::string("cannot open the display \"") + (name != nullptr ? name : "") +
                                 "\" (" + SDL_GetError() + ")");
    }
    std::string driver = SDL_GetCurrentVideoDriver() != nullptr ? SDL_GetCurrentVideoDriver() : "";
    if (!driverAsked && driver != "x11" && driver != "wayland") {
        SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
        throw std::runtime_error("cannot open the display: no X11 or Wayland display (is DISPLAY set?)");
    }
    impl_->wakeEvent = SDL_RegisterEvents(1);
    SetCursorVisibilityHook([](bool visible) { SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE); });
}

SdlWindowSystem::~SdlWindowSystem()
{
    SetCursorVisibilityHook(nullptr);
    SDL_ShowCursor(SDL_ENABLE);
    impl_.reset();
    // The video subsystem stays up until the process ends: quitting it unloads the X libraries
    // SDL opened, and what they keep for the process's life would then show as leaks of unknown
    // origin instead of theirs. The server frees the connection's resources either way.
}

std::unique_ptr<WindowHost> SdlWindowSystem::CreateHost(NativeWindow& window, const WindowParams& params)
{
    return std::make_unique<SdlHost>(*impl_, window, params);
}

void SdlWindowSystem::RunMessageLoop(TApplication& application)
{
    while (!application.Terminated()) {
        impl_->RenderDirty();
        SDL_Event event;
        if (SDL_WaitEvent(&event) == 0)
            continue;
        do
            impl_->Handle(event, &application);
        while (!application.Terminated() && SDL_PollEvent(&event) != 0);
    }
}

void SdlWindowSystem::Impl::Wake()
{
    if (wakePending.exchange(true))
        return;
    SDL_Event event{};
    event.type = wakeEvent;
    SDL_PushEvent(&event);
}

void SdlWindowSystem::Wake() { impl_->Wake(); }

int SdlWindowSystem::MessageBox(const std::string& text, const std::string& caption, unsigned, bool owned)
{
    SDL_Window* owner = nullptr;
    if (owned && Application != nullptr && Application->MainForm() != nullptr && Application->MainForm()->HandleAllocated())
        if (auto* host = dynamic_cast<SdlHost*>(Application->MainForm()->Handle()->Host()))
            owner = host->Visible() ? host->Window() : nullptr;
    ++impl_->modalDepth;
    SdlMessageBox box(impl_->fonts, text, caption, owner);
    bool quit = false;
    while (!box.Done()) {
        impl_->RenderDirty();
        box.Render();
        SDL_Event event;
        if (SDL_WaitEvent(&event) == 0)
            continue;
        do {
            if (box.Handle(event))
                continue;
            if (event.type == SDL_QUIT) {
                // Closing the program answers the box; the quit is handled once it is gone.
                quit = true;
                box.Close();
                continue;
            }
            if (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_FOCUS_GAINED)
                box.Raise();
            impl_->Handle(event, nullptr);
        } while (!box.Done() && SDL_PollEvent(&event) != 0);
    }
    --impl_->modalDepth;
    if (quit) {
        SDL_Event event{};
        event.type = SDL_QUIT;
        SDL_PushEvent(&event);
    }
    return IDOK;
}

TSize SdlWindowSystem::MeasureText(const TFont& font, const std::string& text) { return impl_->fonts.Measure(font, text); }

std::vector<RECT> SdlWindowSystem::WorkAreas()
{
    std::vector<RECT> areas;
    int count = SDL_GetNumVideoDisplays();
    for (int i = 0; i < count; ++i) {
        SDL_Rect r;
        if (SDL_GetDisplayUsableBounds(i, &r) == 0 || SDL_GetDisplayBounds(i, &r) == 0)
            areas.push_back({r.x, r.y, r.x + r.w, r.y + r.h});
    }
    return areas;
}
