#pragma once

struct SDL_Surface;

// The game's own 32 x 32 icon in black and white: a miniature field with a small ball in the
// centre and four short bars near the edges. The caller frees it.
SDL_Surface* MakeZimbrotIcon();
