// Synthesises the game's three sound clips as 8-bit mono PCM WAVE files:
//
//     zim_clipgen <folder>     writes <folder>/count.wav, Hit.wav and Lose.wav
//
// The clips are kept in the repository and compiled into the game; this program is how they were
// made, so that they can be made again. Everything here is plain arithmetic on doubles, so the
// output is the same byte for byte on every build.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr double Pi = 3.14159265358979323846;

using Samples = std::vector<double>; // distance from the silent value, in 8-bit steps

// A curve through (x, y) knots, straight between them and flat outside.
double Interpolate(const std::vector<std::pair<double, double>>& knots, double x)
{
    if (x <= knots.front().first)
        return knots.front().second;
    for (std::size_t i = 1; i < knots.size(); ++i) {
        if (x <= knots[i].first) {
            auto [x0, y0] = knots[i - 1];
            auto [x1, y1] = knots[i];
            return y0 + (y1 - y0) * (x - x0) / (x1 - x0);
        }
    }
    return knots.back().second;
}

// Pitch curves are straight in log-frequency, which is how a sweep is heard.
double InterpolateLog(const std::vector<std::pair<double, double>>& knots, double x)
{
    std::vector<std::pair<double, double>> logs;
    for (auto [k, v] : knots)
        logs.emplace_back(k, std::log(v));
    return std::exp(Interpolate(logs, x));
}

std::vector<std::uint8_t> ToBytes(const Samples& samples, int lo, int hi)
{
    std::vector<std::uint8_t> bytes;
    bytes.reserve(samples.size());
    for (double v : samples)
        bytes.push_back(static_cast<std::uint8_t>(std::clamp<long>(std::lround(128.0 + v), lo, hi)));
    return bytes;
}

void Put16(std::vector<std::uint8_t>& out, unsigned v)
{
    out.push_back(v & 0xff);
    out.push_back((v >> 8) & 0xff);
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    Put16(out, v & 0xffff);
    Put16(out, v >> 16);
}

void PutTag(std::vector<std::uint8_t>& out, const char* tag)
{
    out.insert(out.end(), tag, tag + 4);
}

std::vector<std::uint8_t> WaveFile(std::uint32_t rate, const std::vector<std::uint8_t>& data)
{
    std::vector<std::uint8_t> out;
    PutTag(out, "RIFF");
    Put32(out, static_cast<std::uint32_t>(36 + data.size()));
    PutTag(out, "WAVE");
    PutTag(out, "fmt ");
    Put32(out, 16);
    Put16(out, 1); // PCM
    Put16(out, 1); // mono
    Put32(out, rate);
    Put32(out, rate); // bytes per second: one byte per sample
    Put16(out, 1);
    Put16(out, 8);
    PutTag(out, "data");
    Put32(out, static_cast<std::uint32_t>(data.size()));
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

// "count": a quarter-duty pulse wave that jumps an octave at 52 ms and dies away by 135 ms.
std::vector<std::uint8_t> MakeCount()
{
    constexpr double rate = 22050;
    constexpr int length = 6186;
    constexpr double duty = 0.25;
    const std::vector<std::pair<double, double>> span = {
        {0, 78},    {22, 78},    {28, 47},    {40, 47},    {40.01, 37}, {46, 37},    {46.01, 28},
        {52, 28},   {52.01, 27}, {57, 22},    {57.01, 17}, {72, 16},    {72.01, 12}, {88, 11},
        {88.01, 8}, {104, 7},    {104.01, 4}, {119, 4},    {119.01, 2}, {135, 2},    {135.01, 0}};
    auto pitch = [](double ms) {
        bool high = (ms >= 52 && ms < 88) || (ms >= 119 && ms < 135);
        return high ? 1040.0 : 520.0;
    };

    // Each sample is the pulse averaged over its own interval, so the edges fall between samples
    // instead of jittering by whole samples. Rising edges overshoot and settle, as a real
    // square-wave generator behind a filter does.
    constexpr int sub = 16;
    const double firstStep = 520.0 / rate;
    // The clip starts on a falling edge, 6 sixteenths of the first sample still high: 136.
    double phase = duty - 6.0 / sub * firstStep;
    Samples out(length, 0.0);
    for (int i = 0; i < length; ++i) {
        double ms = i * 1000.0 / rate;
        double level = Interpolate(span, ms) / 78.0;
        double step = pitch(ms) / rate;
        double sum = 0;
        for (int k = 0; k < sub; ++k) {
            double x = phase + (k + 0.5) / sub * step;
            x -= std::floor(x);
            if (x < duty) {
                double sinceEdge = x / step; // samples since the rising edge
                sum += 57.0 + 10.0 * std::exp(-sinceEdge / 1.2);
            } else {
                sum += -21.0;
            }
        }
        out[i] = level * sum / sub;
        phase += step;
        phase -= std::floor(phase);
    }

    // After the pip, a faint residue just below the silent value, as from a settling output stage.
    std::uint32_t seed = 12345;
    double drift = 0;
    for (int i = 0; i < length; ++i) {
        double ms = i * 1000.0 / rate;
        if (ms < 135)
            continue;
        seed = seed * 1664525u + 1013904223u;
        double noise = (seed >> 8) / double(1u << 24) - 0.5;
        drift = 0.97 * drift + 0.5 * noise;
        out[i] = std::clamp(-1.0 + 2.2 * drift, -3.0, 1.0);
    }
    return ToBytes(out, 0, 255);
}

// "Hit": a sine sweeping up from about 250 Hz to nearly 3 kHz, fading out at the end.
std::vector<std::uint8_t> MakeHit()
{
    constexpr double rate = 22050;
    constexpr int length = 1160;
    const std::vector<std::pair<double, double>> pitch = {
        {1, 237},   {3, 254},   {5, 272},     {10, 331},  {15, 394},    {20, 491},  {25, 617},   {30, 788},
        {35, 1046}, {40, 1401}, {42.5, 1660}, {45, 1975}, {47.5, 2324}, {50, 2871}, {52.6, 3576}};
    const std::vector<std::pair<double, double>> swing = {{1, 55},  {2, 103}, {3, 100}, {5, 100}, {10, 94}, {15, 93},
                                                          {20, 92}, {25, 91}, {30, 91}, {35, 89}, {40, 92}, {42.5, 84}};
    constexpr double fadeStart = 42.5, halfLife = 1.8;

    Samples out(length, 0.0);
    double phase = 0; // in cycles, from the upward crossing at 1 ms
    for (int i = 0; i < length; ++i) {
        double ms = i * 1000.0 / rate;
        if (ms < 1.0) {
            // The attack: a shallow dip that bottoms out at 0.6 ms.
            double w = std::pow(ms / 1.0, 1.357);
            out[i] = -25.0 * std::sin(Pi * w);
            continue;
        }
        double level =
            ms <= fadeStart ? Interpolate(swing, ms) : swing.back().second * std::exp2(-(ms - fadeStart) / halfLife);
        out[i] = level * std::sin(2 * Pi * phase);
        phase += InterpolateLog(pitch, ms + 0.5 * 1000.0 / rate) / rate;
    }
    // The last millisecond tapers to the silent value, so the clip ends without a click.
    constexpr int taper = 22;
    for (int i = 0; i < taper; ++i)
        out[length - 1 - i] *= double(i) / taper;
    return ToBytes(out, 0, 255);
}

// "Lose": 21 decaying bursts of a bright tone, 66 a second, fading out while the tone rises
// and sinks again.
std::vector<std::uint8_t> MakeLose()
{
    constexpr double rate = 11025;
    constexpr int length = 3418;
    constexpr int first = 38, spacing = 166, bursts = 21;
    const double peak[bursts] = {127, 121, 116, 110, 105, 100, 94, 89, 83, 78, 73,
                                 67,  60,  48,  48,  44,  37,  33, 28, 24, 19};
    const double tone[bursts] = {1410, 1460, 1520, 1570, 1610, 1650, 1700, 1750, 1780, 1830, 1870,
                                 1920, 1950, 1950, 1930, 1900, 1850, 1760, 1670, 1590, 1520};
    // The echo about 5.5 ms after each peak, as a share of the burst's peak.
    const double echo[bursts] = {0.67, 0.67, 0.45, 0.45, 0.45, 0.45, 0.45, 0.25, 0.25, 0.2, 0.18,
                                 0.22, 0.16, 0.2,  0.15, 0.18, 0.14, 0.2,  0.16, 0.2,  0.18};
    constexpr double attackMs = 0.7, echoMs = attackMs + 5.5, echoRiseMs = 0.6, echoFallMs = 3.6;

    Samples out(length, 0.0);
    // Lead-in: the tone comes up faintly before the first burst.
    for (int i = 0; i < first; ++i)
        out[i] = 9.0 * i / first * std::sin(2 * Pi * tone[0] * i / rate);

    for (int b = 0; b < bursts; ++b) {
        // Down to a quarter of the peak about 4 ms after it in the first six bursts (held for
        // half a millisecond, then falling), in 2.75 ms from the twelfth on.
        double holdMs = b < 6 ? 0.5 : b < 11 ? 0.25 : 0.0;
        double quarterMs = b < 6 ? 3.5 : b < 11 ? 3.75 - (b - 6) * 0.2 : 2.75;
        // The first two bursts are driven past the limits of the scale and flatten there; the
        // second leans upwards, so it touches only the top.
        double drive = b == 0 ? 1.9 : b == 1 ? 1.07 : 1.0;
        double lean = b == 1 ? 10.0 : 0.0;
        auto burst = [&](double ms) {
            double main = ms < attackMs ? 0.5 - 0.5 * std::cos(Pi * ms / attackMs)
                                        : std::exp(-std::log(4.0) * std::max(0.0, ms - attackMs - holdMs) / quarterMs);
            double d = ms - echoMs;
            double width = d < 0 ? echoRiseMs : echoFallMs;
            double swell = echo[b] * std::exp(-0.5 * (d / width) * (d / width));
            return std::max(drive * main, swell) * std::sin(2 * Pi * tone[b] * ms / 1000.0);
        };
        // Scaled so that the loudest sample of the burst is its peak; the sine's samples rarely
        // land on its crest.
        double loudest = 0;
        for (int i = 0; i < spacing; ++i)
            loudest = std::max(loudest, std::fabs(burst(i * 1000.0 / rate)));
        double scale = b < 2 ? peak[b] : peak[b] / loudest;
        int start = first + b * spacing;
        for (int i = start; i < length; ++i) {
            double ms = (i - start) * 1000.0 / rate;
            if (ms > echoMs + 8 * echoFallMs)
                break;
            double main = std::exp(-std::log(4.0) * std::max(0.0, ms - attackMs - holdMs) / quarterMs);
            out[i] += scale * burst(ms) + lean * main;
        }
    }
    constexpr int taper = 12;
    for (int i = 0; i < taper; ++i)
        out[length - 1 - i] *= double(i) / taper;
    return ToBytes(out, 1, 253);
}

bool Write(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(file);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    std::string dir = argv[1];
    bool ok = Write(dir + "/count.wav", WaveFile(22050, MakeCount())) &&
              Write(dir + "/Hit.wav", WaveFile(22050, MakeHit())) &&
              Write(dir + "/Lose.wav", WaveFile(11025, MakeLose()));
    if (!ok) {
        std::perror(dir.c_str());
        return 1;
    }
    return 0;
}
