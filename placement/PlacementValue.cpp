#include "placement/PlacementValue.h"

#include "platform/core/CommaText.h"
#include "platform/core/Exception.h"

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
