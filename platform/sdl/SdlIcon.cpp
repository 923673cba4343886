#include "platform/sdl/SdlIcon.h"

#include <SDL.h>

SDL_Surface* MakeZimbrotIcon()
{
    constexpr int kSize = 32;
    SDL_Surface* icon = SDL_CreateRGBSurfaceWithFormat(0, kSize, kSize, 32, SDL_PIXELFORMAT_RGBA32);
    if (icon == nullptr)
        return nullptr;
    auto* pixels = static_cast<Uint32*>(icon->pixels);
    const int pitch = icon->pitch / 4;
    const Uint32 black = SDL_MapRGBA(icon->format, 0, 0, 0, 255);
    const Uint32 white = SDL_MapRGBA(icon->format, 255, 255, 255, 255);
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) {
            // The ball: a disc of radius 3 around the centre.
            int dx = 2 * x + 1 - kSize;
            int dy = 2 * y + 1 - kSize;
            bool ball = dx * dx + dy * dy <= 7 * 7;
            // The paddles: bars of 10 pixels, two pixels thick, three pixels in from each edge.
            bool along = x >= 11 && x <= 20;
            bool across = y >= 11 && y <= 20;
            bool bar = (along && (y == 3 || y == 4 || y == 27 || y == 28)) ||
                       (across && (x == 3 || x == 4 || x == 27 || x == 28));
            pixels[y * pitch + x] = ball || bar ? white : black;
        }
    return icon;
}
