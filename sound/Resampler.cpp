#include "sound/Resampler.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {

constexpr double Pi = 3.14159265358979323846;
constexpr int ZeroCrossings = 16; // of the sinc on each side: about 75 dB of image rejection
constexpr int Phases = 256;       // table steps per zero crossing

// sinc(x) * window(x / ZeroCrossings) for x in [0, ZeroCrossings], Phases steps per unit.
const std::array<float, ZeroCrossings * Phases + 2>& KernelTable()
{
    static const auto table = [] {
        std::array<float, ZeroCrossings * Phases + 2> t{};
        for (std::size_t i = 0; i < t.size(); ++i) {
            double x = double(i) / Phases;
            if (x >= ZeroCrossings)
                break;
            double sinc = x == 0 ? 1.0 : std::sin(Pi * x) / (Pi * x);
            // Blackman window
            double u = x / ZeroCrossings;
            double window = 0.42 + 0.5 * std::cos(Pi * u) + 0.08 * std::cos(2 * Pi * u);
            t[i] = static_cast<float>(sinc * window);
        }
        return t;
    }();
    return table;
}

float Kernel(double x)
{
    const auto& table = KernelTable();
    double pos = std::fabs(x) * Phases;
    auto i = static_cast<std::size_t>(pos);
    if (i >= ZeroCrossings * Phases)
        return 0.0f;
    double frac = pos - double(i);
    return static_cast<float>(table[i] + (table[i + 1] - table[i]) * frac);
}

} // namespace

std::vector<float> WaveSamples(const TWave& wave)
{
    const TWaveFormat& f = wave.Format();
    std::span<const std::uint8_t> data = wave.Data();
    std::size_t frames = wave.FrameCount();
    std::vector<float> out(frames);
    int bytes = f.BitsPerSample / 8;
    for (std::size_t i = 0; i < frames; ++i) {
        float sum = 0;
        for (int c = 0; c < f.Channels; ++c) {
            const std::uint8_t* p = data.data() + i * f.BlockAlign + c * bytes;
            sum += bytes == 1 ? (p[0] - 128) / 128.0f : static_cast<std::int16_t>(p[0] | p[1] << 8) / 32768.0f;
        }
        out[i] = sum / f.Channels;
    }
    return out;
}

std::vector<float> Resample(std::span<const float> in, int fromRate, int toRate)
{
    if (fromRate == toRate || in.empty())
        return std::vector<float>(in.begin(), in.end());
    const double ratio = double(toRate) / fromRate;
    const auto outSize = static_cast<std::size_t>(std::ceil(in.size() * ratio));
    // Pass band up to 95 percent of the lower of the two Nyquist frequencies.
    const double cutoff = std::min(1.0, ratio) * 0.95;
    const double halfWidth = ZeroCrossings / cutoff; // in input samples
    const auto last = static_cast<long>(in.size()) - 1;

    std::vector<float> out(outSize);
    for (std::size_t n = 0; n < outSize; ++n) {
        double t = n / ratio;
        long lo = std::max(0L, static_cast<long>(std::ceil(t - halfWidth)));
        long hi = std::min(last, static_cast<long>(std::floor(t + halfWidth)));
        double sum = 0;
        for (long k = lo; k <= hi; ++k)
            sum += in[static_cast<std::size_t>(k)] * Kernel(cutoff * (t - k));
        out[n] = static_cast<float>(sum * cutoff);
    }
    return out;
}
