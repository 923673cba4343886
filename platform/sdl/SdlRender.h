#pragma once

#include "platform/controls/Graphics.h"

#include <list>
#include <string>
#include <tuple>
#include <unordered_map>

struct SDL_Renderer;
struct SDL_Texture;
class SdlFonts;

// Draws a window's command list with one renderer. Rendered texts are kept, so that a caption
// that does not change costs one copy per frame.
class SdlPainter {
public:
    SdlPainter(SDL_Renderer* renderer, SdlFonts& fonts);
    ~SdlPainter();
    SdlPainter(const SdlPainter&) = delete;
    SdlPainter& operator=(const SdlPainter&) = delete;

    void Draw(const DrawList& list, int width, int height);

private:
    struct Text {
        SDL_Texture* texture = nullptr;
        int width = 0;
        int height = 0;
        int offsetY = 0;  // from the top of the box to the top of the texture
    };
    const Text& TextFor(const DrawCommand& command);

    SDL_Renderer* renderer_;
    SdlFonts& fonts_;
    std::unordered_map<std::string, Text> texts_;
};
