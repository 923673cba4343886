#include "platform/sdl/SdlMessageBox.h"

#include "platform/sdl/SdlFonts.h"
#include "platform/sdl/SdlRender.h"

#include <SDL.h>

#include <algorithm>

namespace {

constexpr int kMargin = 16;
constexpr int kIconSize = 32;
constexpr int kLineHeight = 18;
constexpr int kButtonWidth = 80;
constexpr int kButtonHeight = 24;
constexpr TColor kFace = 0xF0F0F0;
constexpr TColor kStopRed = 0xD02020;

TFont BoxFont() { return TFont{"ＭＳ Ｐゴシック", -13, false, clBlack, SHIFTJIS_CHARSET}; }

void Fill(DrawList& list, int l, int t, int r, int b, TColor color, const RECT& clip)
{
    AddFill(list, {l, t, r, b}, clip, color);
}

void Text(DrawList& list, int x, int y, const std::string& text, const TFont& font, const RECT& clip)
{
    DrawCommand c;
    c.kind = DrawCommand::Kind::Text;
    c.rect = {x, y, clip.right, y + font.EmPixels()};
    c.clip = clip;
    c.color = font.Color;
    c.font = font;
    c.text = text;
    list.push_back(c);
}

}  // namespace

SdlMessageBox::SdlMessageBox(SdlFonts& fonts, const std::string& text, const std::string& caption, SDL_Window* owner)
    : fonts_(fonts)
{
    for (std::size_t start = 0;;) {
        std::size_t end = text.find('\n', start);
        lines_.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    int textWidth = 0;
    for (const auto& line : lines_)
        textWidth = std::max(textWidth, fonts_.Measure(BoxFont(), line).cx);
    int textHeight = static_cast<int>(lines_.size()) * kLineHeight;
    width_ = std::max(kMargin * 3 + kIconSize + textWidth + kMargin, 240);
    height_ = kMargin + std::max(kIconSize, textHeight) + kMargin + kButtonHeight + kMargin;
    int bx = (width_ - kButtonWidth) / 2;
    int by = height_ - kMargin - kButtonHeight;
    button_ = {bx, by, bx + kButtonWidth, by + kButtonHeight};

    int x = SDL_WINDOWPOS_CENTERED;
    int y = SDL_WINDOWPOS_CENTERED;
    if (owner != nullptr) {
        int ox = 0, oy = 0, ow = 0, oh = 0;
        SDL_GetWindowPosition(owner, &ox, &oy);
        SDL_GetWindowSize(owner, &ow, &oh);
        x = std::max(0, ox + (ow - width_) / 2);
        y = std::max(0, oy + (oh - height_) / 2);
    }
    window_ = SDL_CreateWindow(caption.c_str(), x, y, width_, height_, SDL_WINDOW_HIDDEN | SDL_WINDOW_SKIP_TASKBAR);
    if (window_ == nullptr) {
        done_ = true;
        return;
    }
    if (owner != nullptr)
        SDL_SetWindowModalFor(window_, owner);
    renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
    painter_ = std::make_unique<SdlPainter>(renderer_, fonts_);
    SDL_ShowWindow(window_);
    SDL_RaiseWindow(window_);
}

SdlMessageBox::~SdlMessageBox()
{
    painter_.reset();
    if (renderer_ != nullptr)
        SDL_DestroyRenderer(renderer_);
    if (window_ != nullptr)
        SDL_DestroyWindow(window_);
}

void SdlMessageBox::Raise()
{
    if (window_ != nullptr)
        SDL_RaiseWindow(window_);
}

DrawList SdlMessageBox::Layout() const
{
    DrawList list;
    RECT all{0, 0, width_, height_};
    Fill(list, 0, 0, width_, height_, kFace, all);
    // The stop icon: a red disc with a white cross, drawn as spans.
    int cx = kMargin + kIconSize / 2;
    int cy = kMargin + kIconSize / 2;
    for (int dy = -15; dy <= 15; ++dy) {
        int half = 0;
        while ((half + 1) * (half + 1) + dy * dy <= 15 * 15 + 8)
            ++half;
        Fill(list, cx - half, cy + dy, cx + half + 1, cy + dy + 1, kStopRed, all);
    }
    for (int d = -7; d <= 7; ++d) {
        Fill(list, cx + d - 1, cy + d - 1, cx + d + 2, cy + d + 2, clWhite, all);
        Fill(list, cx + d - 1, cy - d - 1, cx + d + 2, cy - d + 2, clWhite, all);
    }
    int textLeft = kMargin * 2 + kIconSize;
    int textTop = kMargin + std::max(0, (kIconSize - static_cast<int>(lines_.size()) * kLineHeight) / 2) + 2;
    for (std::size_t i = 0; i < lines_.size(); ++i)
        Text(list, textLeft, textTop + static_cast<int>(i) * kLineHeight, lines_[i], BoxFont(), all);
    // The OK button, with a dark frame since it is the default button.
    Fill(list, button_.left, button_.top, button_.right, button_.bottom, 0x404040, all);
    Fill(list, button_.left + 1, button_.top + 1, button_.right - 1, button_.bottom - 1, pressed_ ? 0xD0D0D0 : 0xFAFAFA,
         all);
    TFont font = BoxFont();
    int okWidth = fonts_.Measure(font, "OK").cx;
    Text(list, button_.left + (kButtonWidth - okWidth) / 2, button_.top + (kButtonHeight - font.EmPixels()) / 2, "OK",
         font, button_);
    return list;
}

void SdlMessageBox::Render()
{
    if (!dirty_ || painter_ == nullptr)
        return;
    dirty_ = false;
    painter_->Draw(Layout(), width_, height_);
    SDL_RenderPresent(renderer_);
}

bool SdlMessageBox::Handle(const SDL_Event& event)
{
    if (window_ == nullptr)
        return false;
    Uint32 id = SDL_GetWindowID(window_);
    auto inButton = [this](int x, int y) {
        return x >= button_.left && x < button_.right && y >= button_.top && y < button_.bottom;
    };
    switch (event.type) {
    case SDL_WINDOWEVENT:
        if (event.window.windowID != id)
            return false;
        if (event.window.event == SDL_WINDOWEVENT_CLOSE)
            done_ = true;
        dirty_ = true;
        return true;
    case SDL_KEYDOWN:
        if (event.key.windowID != id)
            return false;
        switch (event.key.keysym.sym) {
        case SDLK_RETURN:
        case SDLK_KP_ENTER:
        case SDLK_SPACE:
        case SDLK_ESCAPE:
            done_ = true;
            break;
        default:
            break;
        }
        return true;
    case SDL_MOUSEBUTTONDOWN:
        if (event.button.windowID != id)
            return false;
        if (event.button.button == SDL_BUTTON_LEFT && inButton(event.button.x, event.button.y)) {
            pressed_ = true;
            dirty_ = true;
        }
        return true;
    case SDL_MOUSEBUTTONUP:
        if (event.button.windowID != id)
            return false;
        if (event.button.button == SDL_BUTTON_LEFT) {
            if (pressed_ && inButton(event.button.x, event.button.y))
                done_ = true;
            pressed_ = false;
            dirty_ = true;
        }
        return true;
    case SDL_MOUSEMOTION:
        return event.motion.windowID == id;
    default:
        return false;
    }
}
