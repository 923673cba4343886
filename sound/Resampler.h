#pragma once

#include "sound/Wave.h"

#include <span>
#include <vector>

// A clip's samples as floats in -1..1, one channel (two channels are averaged).
std::vector<float> WaveSamples(const TWave& wave);

// Converts samples from one rate to another with a windowed-sinc filter: a clip made at 11025 or
// 22050 Hz comes out at the device's rate without the grit of nearest or linear interpolation.
// The result holds ceil(size * toRate / fromRate) samples, so a clip keeps its duration.
std::vector<float> Resample(std::span<const float> in, int fromRate, int toRate);
