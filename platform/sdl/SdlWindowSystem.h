#pragma once

#include "platform/window/WindowSystem.h"

#include <memory>

// The real window system: SDL2 windows with a software renderer, fonts through fontconfig and
// SDL_ttf, our own message boxes (so that Japanese text shows on any desktop).
class SdlWindowSystem final : public WindowSystem {
public:
    // Throws std::runtime_error with SDL's reason when there is no display.
    SdlWindowSystem();
    ~SdlWindowSystem() override;

    std::unique_ptr<WindowHost> CreateHost(NativeWindow& window, const WindowParams& params) override;
    void RunMessageLoop(TApplication& application) override;
    void Wake() override;
    int MessageBox(const std::string& text, const std::string& caption, unsigned type, bool owned) override;
    TSize MeasureText(const TFont& font, const std::string& text) override;
    std::vector<RECT> WorkAreas() override;

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};
