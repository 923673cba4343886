#pragma once

#include "platform/window/Messages.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The saved placement value: nine integers joined by commas, no blanks: the window state code,
// the minimised position x and y, the maximised position x and y, and the normal position's
// left, top, right and bottom.
std::string FormatPlacementValue(int state, const WINDOWPLACEMENT& placement);

// The value read back, item by item; an item that is not an integer is empty. Nothing unless the
// text splits into exactly nine items.
using PlacementItems = std::array<std::optional<std::int32_t>, 9>;
std::optional<PlacementItems> ParsePlacementValue(std::string_view text);

// The normal rectangle to apply: `wanted` when some of it lies on one of the displays' areas,
// otherwise `fallback` (the place the window was designed for) with the wanted size, or failing
// that the first display's corner. With no areas known, `wanted` as it stands.
RECT KeepOnDisplay(const RECT& wanted, const RECT& fallback, const std::vector<RECT>& areas);
