#pragma once

// Measurements on 8-bit clips, as a listener's tools would take them.

#include "sound/BuiltinClips.h"
#include "sound/Wave.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string_view>
#include <vector>

namespace clip {

inline TWave Builtin(std::string_view name)
{
    for (const auto& c : BuiltinClips()) {
        if (c.Name == name) {
            TWave wave;
            wave.LoadFromMemory(c.File);
            return wave;
        }
    }
    throw std::runtime_error("no built-in clip");
}

// Distances from the silent value, in 8-bit steps.
inline std::vector<double> Levels(const TWave& wave)
{
    std::vector<double> out;
    for (std::uint8_t b : wave.Data())
        out.push_back(b - 128.0);
    return out;
}

inline int MsToSample(double ms, double rate)
{
    return static_cast<int>(std::lround(ms * rate / 1000.0));
}

// RMS of [from, to) relative to full scale (128 steps), in dB.
inline double RmsDb(const std::vector<double>& x, int from, int to)
{
    double sum = 0;
    for (int i = from; i < to; ++i)
        sum += x[i] * x[i];
    return 20 * std::log10(std::sqrt(sum / (to - from)) / 128.0);
}

// Where x passes upward through `level`, interpolated between samples.
inline std::vector<double> UpwardCrossings(const std::vector<double>& x, int from, int to, double level = 0)
{
    std::vector<double> out;
    for (int i = std::max(from, 0); i + 1 < std::min<int>(to, static_cast<int>(x.size())); ++i)
        if (x[i] < level && x[i + 1] >= level)
            out.push_back(i + (level - x[i]) / (x[i + 1] - x[i]));
    return out;
}

// Frequency from the crossings over [from, to): whole cycles between the first and the last.
inline double CrossingPitch(const std::vector<double>& crossings, double rate)
{
    if (crossings.size() < 2)
        return 0;
    return rate * (crossings.size() - 1) / (crossings.back() - crossings.front());
}

// The pitch at sample `at` of a tone whose pitch glides: each run of `cycles` whole cycles gives
// its pitch at its middle, and the pitch at `at` lies on the line between the two nearest.
inline double PitchAround(const std::vector<double>& x, double at, double rate, int cycles)
{
    auto c = UpwardCrossings(x, 0, static_cast<int>(x.size()));
    std::vector<std::pair<double, double>> points; // middle, pitch
    for (std::size_t j = 0; j + cycles < c.size(); ++j)
        points.emplace_back((c[j] + c[j + cycles]) / 2, rate * cycles / (c[j + cycles] - c[j]));
    if (points.empty())
        return 0;
    if (at <= points.front().first)
        return points.front().second;
    for (std::size_t k = 1; k < points.size(); ++k) {
        auto [x0, p0] = points[k - 1];
        auto [x1, p1] = points[k];
        if (at <= x1)
            return p0 + (p1 - p0) * (at - x0) / (x1 - x0);
    }
    return points.back().second;
}

// The loudness envelope: the largest distance from silence within about one cycle around i.
inline double Envelope(const std::vector<double>& x, int i, int halfWidth = 4)
{
    double m = 0;
    for (int k = std::max(0, i - halfWidth); k <= std::min<int>(i + halfWidth, static_cast<int>(x.size()) - 1); ++k)
        m = std::max(m, std::fabs(x[k]));
    return m;
}

inline double MaxAbs(const std::vector<double>& x, int from, int to)
{
    double m = 0;
    for (int i = from; i < to; ++i)
        m = std::max(m, std::fabs(x[i]));
    return m;
}

// A pulse wave's plateaus: the medians of the samples above and below the middle of the range.
inline double PlateauSpan(const std::vector<double>& x, int from, int to)
{
    auto [lo, hi] = std::minmax_element(x.begin() + from, x.begin() + to);
    double mid = (*lo + *hi) / 2;
    std::vector<double> high, low;
    for (int i = from; i < to; ++i)
        (x[i] > mid ? high : low).push_back(x[i]);
    auto median = [](std::vector<double>& v) {
        std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
        return v[v.size() / 2];
    };
    return median(high) - median(low);
}

} // namespace clip
