#pragma once

#include "platform/controls/Graphics.h"

#include <memory>
#include <string>
#include <vector>

struct SDL_Window;
struct SDL_Renderer;
union SDL_Event;
class SdlFonts;
class SdlPainter;

// A message box window of our own: the stop icon, the text, one OK button. SDL's own box draws
// with the X core fonts, which show no Japanese on a stock desktop; this one uses our fonts.
class SdlMessageBox {
public:
    SdlMessageBox(SdlFonts& fonts, const std::string& text, const std::string& caption, SDL_Window* owner);
    ~SdlMessageBox();
    SdlMessageBox(const SdlMessageBox&) = delete;
    SdlMessageBox& operator=(const SdlMessageBox&) = delete;

    // Takes the event if it belongs to the box.
    bool Handle(const SDL_Event& event);
    void Render();
    void Raise();
    void Close() { done_ = true; }
    bool Done() const { return done_; }

private:
    DrawList Layout() const;

    SdlFonts& fonts_;
    std::vector<std::string> lines_;
    SDL_Window* window_ = nullptr;
    SDL_Renderer* renderer_ = nullptr;
    std::unique_ptr<SdlPainter> painter_;
    int width_ = 0;
    int height_ = 0;
    RECT button_;
    bool pressed_ = false;
    bool dirty_ = true;
    bool done_ = false;
};
