#include "placement/PlacementValue.h"

#include "platform/core/CommaText.h"
#include "platform/core/Exception.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

std::string FormatPlacementValue(int state, const WINDOWPLACEMENT& placement)
{
    char text[128];
    std::snprintf(text, sizeof text, "%d,%d,%d,%d,%d,%d,%d,%d,%d", state, placement.ptMinPosition.x,
                  placement.ptMinPosition.y, placement.ptMaxPosition.x, placement.ptMaxPosition.y,
                  placement.rcNormalPosition.left, placement.rcNormalPosition.top, placement.rcNormalPosition.right,
                  placement.rcNormalPosition.bottom);
    return text;
}

std::optional<PlacementItems> ParsePlacementValue(std::string_view text)
{
    std::vector<std::string> items = SplitCommaText(text);
    if (items.size() != 9)
        return std::nullopt;
    PlacementItems values;
    for (std::size_t i = 0; i < items.size(); ++i) {
        std::int32_t value = 0;
        if (TryStrToInt(items[i], value))
            values[i] = value;
    }
    return values;
}

namespace {

bool Overlaps(const RECT& a, const RECT& b)
{
    return a.left < a.right && a.top < a.bottom && a.left < b.right && b.left < a.right && a.top < b.bottom &&
           b.top < a.bottom;
}

bool OnSomeDisplay(const RECT& r, const std::vector<RECT>& areas)
{
    for (const RECT& area : areas)
        if (Overlaps(r, area))
            return true;
    return false;
}

}  // namespace

RECT KeepOnDisplay(const RECT& wanted, const RECT& fallback, const std::vector<RECT>& areas)
{
    if (areas.empty())
        return wanted;
    // Judged by where the window would stand: a hand-edited rectangle may have no size of its
    // own. 64-bit, so that no size overflows.
    std::int64_t width = std::int64_t{wanted.right} - wanted.left;
    std::int64_t height = std::int64_t{wanted.bottom} - wanted.top;
    if (width <= 0 || height <= 0 || width > 1 << 16 || height > 1 << 16) {
        width = std::int64_t{fallback.right} - fallback.left;
        height = std::int64_t{fallback.bottom} - fallback.top;
    }
    auto at = [&](std::int64_t left, std::int64_t top) {
        auto clamp = [](std::int64_t v) {
            return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX));
        };
        return RECT{clamp(left), clamp(top), clamp(left + width), clamp(top + height)};
    };
    if (OnSomeDisplay(at(wanted.left, wanted.top), areas))
        return wanted;
    RECT designed = at(fallback.left, fallback.top);
    if (OnSomeDisplay(designed, areas))
        return designed;
    return at(areas.front().left, areas.front().top);
}
