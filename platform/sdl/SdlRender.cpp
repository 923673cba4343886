#include "platform/sdl/SdlRender.h"

#include "platform/sdl/SdlFonts.h"

#include <SDL.h>
#include <SDL_ttf.h>

namespace {
// Counts change at every hit; a bounded cache keeps a long game from growing it without end.
constexpr std::size_t kMaxTexts = 256;
}

SdlPainter::SdlPainter(SDL_Renderer* renderer, SdlFonts& fonts) : renderer_(renderer), fonts_(fonts) {}

SdlPainter::~SdlPainter()
{
    for (auto& [key, text] : texts_)
        if (text.texture != nullptr)
            SDL_DestroyTexture(text.texture);
}

const SdlPainter::Text& SdlPainter::TextFor(const DrawCommand& command)
{
    const TFont& f = command.font;
    std::string key = f.Name + '\x1f' + std::to_string(f.EmPixels()) + (f.Bold ? "b" : "r") + '\x1f' +
                      std::to_string(command.color) + '\x1f' + command.text;
    if (auto it = texts_.find(key); it != texts_.end())
        return it->second;
    if (texts_.size() >= kMaxTexts) {
        for (auto& [k, t] : texts_)
            if (t.texture != nullptr)
                SDL_DestroyTexture(t.texture);
        texts_.clear();
    }
    Text text;
    std::lock_guard lock(fonts_.Mutex());
    if (const SdlFonts::Face* face = fonts_.Get(f)) {
        SDL_Color color{static_cast<Uint8>(command.color >> 16), static_cast<Uint8>(command.color >> 8),
                        static_cast<Uint8>(command.color), 255};
        if (SDL_Surface* surface = TTF_RenderUTF8_Blended(face->font, command.text.c_str(), color)) {
            text.texture = SDL_CreateTextureFromSurface(renderer_, surface);
            text.width = surface->w;
            text.height = surface->h;
            text.offsetY = face->baseline - TTF_FontAscent(face->font);
            SDL_FreeSurface(surface);
        }
    }
    return texts_.emplace(std::move(key), text).first->second;
}

void SdlPainter::Draw(const DrawList& list, int width, int height)
{
    SDL_RenderSetClipRect(renderer_, nullptr);
    SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
    SDL_RenderClear(renderer_);
    for (const DrawCommand& c : list) {
        SDL_Rect clip{c.clip.left, c.clip.top, c.clip.right - c.clip.left, c.clip.bottom - c.clip.top};
        if (clip.w <= 0 || clip.h <= 0 || clip.x >= width || clip.y >= height)
            continue;
        SDL_RenderSetClipRect(renderer_, &clip);
        if (c.kind == DrawCommand::Kind::FillRect) {
            SDL_Rect r{c.rect.left, c.rect.top, c.rect.right - c.rect.left, c.rect.bottom - c.rect.top};
            SDL_SetRenderDrawColor(renderer_, static_cast<Uint8>(c.color >> 16), static_cast<Uint8>(c.color >> 8),
                                   static_cast<Uint8>(c.color), 255);
            SDL_RenderFillRect(renderer_, &r);
        } else {
            const Text& text = TextFor(c);
            if (text.texture == nullptr)
                continue;
            SDL_Rect r{c.rect.left, c.rect.top + text.offsetY, text.width, text.height};
            SDL_RenderCopy(renderer_, text.texture, nullptr, &r);
        }
    }
    SDL_RenderSetClipRect(renderer_, nullptr);
}
