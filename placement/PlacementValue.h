#pragma once

#include "platform/window/Messages.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The saved placement value: nine integers joined by commas, no blanks: the window state code,
// the minimised position x and y, the maximised position x and y, and the normal position's
// left, top, right and bottom.
std::string FormatPlacementValue(int state, const WINDOWPLACEMENT& placement);

// The value read back, item by item; an item that is not an integer is empty. Nothing unless the
// text splits into exactly nine items.
using PlacementItems = std::array<std::optional<std::int32_t>, 9>;
std::optional<PlacementItems> ParsePlacementValue(std::string_view text);
