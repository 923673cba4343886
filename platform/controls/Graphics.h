#pragma once

#include "platform/window/Messages.h"

#include <cstdint>
#include <string>
#include <vector>

// Colours as 0xRRGGBB. The system colours resolve to the standard scheme.
using TColor = std::uint32_t;
inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clWhite = 0xFFFFFF;
inline constexpr TColor clWindowText = 0x000000;
inline constexpr TColor clBtnShadow = 0x808080;
inline constexpr TColor clBtnHighlight = 0xFFFFFF;
inline constexpr TColor clBtnFace = 0xC0C0C0;

inline constexpr int SHIFTJIS_CHARSET = 128;

// A font as a layout asks for it: a negative height -N asks for an em of N pixels.
struct TFont {
    std::string Name = "ＭＳ Ｐゴシック";
    int Height = -12;
    bool Bold = false;
    TColor Color = clWindowText;
    int Charset = SHIFTJIS_CHARSET;

    int EmPixels() const { return Height < 0 ? -Height : Height; }
    bool operator==(const TFont&) const = default;
};

// The part two boxes share; empty (right <= left or bottom <= top) when they do not meet.
inline RECT IntersectRect(const RECT& a, const RECT& b)
{
    return {a.left > b.left ? a.left : b.left, a.top > b.top ? a.top : b.top,
            a.right < b.right ? a.right : b.right, a.bottom < b.bottom ? a.bottom : b.bottom};
}
inline bool IsRectEmpty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

struct TSize {
    int cx = 0;
    int cy = 0;
};

// What a window looks like, as a list of commands in client coordinates. The window thread copies
// it under the UI lock and draws it without the lock.
struct DrawCommand {
    enum class Kind { FillRect, Text };
    Kind kind = Kind::FillRect;
    RECT rect;  // the box to fill, or the box the text is clipped to (its left and top place the text)
    RECT clip;  // nothing is drawn outside it
    TColor color = clBlack;
    TFont font;  // Text only
    std::string text;
};
using DrawList = std::vector<DrawCommand>;

// Fills a box with a colour, drawing nothing outside `clip`.
inline void AddFill(DrawList& list, const RECT& rect, const RECT& clip, TColor color)
{
    DrawCommand fill;
    fill.rect = rect;
    fill.clip = clip;
    fill.color = color;
    list.push_back(fill);
}
