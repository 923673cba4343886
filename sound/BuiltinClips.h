#pragma once

#include <cstdint>
#include <span>
#include <string_view>

// The game's clips as complete WAVE files compiled into the program, in the clip list's order:
// "count", "Hit", "Lose". They are made by clipgen/ and kept in clips/.
struct TBuiltinClip {
    std::string_view Name;
    std::span<const std::uint8_t> File;
};

std::span<const TBuiltinClip> BuiltinClips();
