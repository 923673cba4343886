#include "sound/Wave.h"

#include <cstring>

namespace {

constexpr const char* BadWave = "不正な Wave です";

std::uint16_t Get16(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

std::uint32_t Get32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

bool TagIs(const std::uint8_t* p, const char* tag)
{
    return std::memcmp(p, tag, 4) == 0;
}

} // namespace

bool IsPlayableFormat(const TWaveFormat& f)
{
    if (f.FormatTag != WAVE_FORMAT_PCM || f.Channels < 1 || f.Channels > 2)
        return false;
    if (f.BitsPerSample != 8 && f.BitsPerSample != 16)
        return false;
    if (f.BlockAlign != f.Channels * f.BitsPerSample / 8)
        return false;
    // Rates outside this range are no sound anyone made on purpose, and resampling them to the
    // device would take unreasonable memory.
    return f.SamplesPerSec >= 1000 && f.SamplesPerSec <= 192000;
}

void TWave::LoadFromMemory(std::span<const std::uint8_t> file)
{
    const std::uint8_t* p = file.data();
    const std::size_t size = file.size();
    if (size < 12 || !TagIs(p, "RIFF") || !TagIs(p + 8, "WAVE"))
        throw EWaveStreamError(BadWave);

    const std::uint8_t* fmt = nullptr;
    const std::uint8_t* data = nullptr;
    std::size_t dataSize = 0;
    std::size_t pos = 12;
    while (pos < size) {
        if (size - pos < 8)
            throw EWaveStreamError(BadWave);
        const std::uint8_t* chunk = p + pos;
        std::size_t length = Get32(chunk + 4);
        pos += 8;
        if (length > size - pos)
            throw EWaveStreamError(BadWave);
        if (TagIs(chunk, "fmt ")) {
            if (length < 16)
                throw EWaveStreamError(BadWave);
            fmt = p + pos;
        } else if (TagIs(chunk, "data")) {
            data = p + pos;
            dataSize = length;
        }
        pos += length;
        // Chunks are padded to even lengths; a missing pad byte at the very end is tolerated.
        if ((length & 1) != 0 && pos < size)
            ++pos;
    }
    if (fmt == nullptr || data == nullptr)
        throw EWaveStreamError(BadWave);

    TWaveFormat format;
    format.FormatTag = Get16(fmt);
    format.Channels = Get16(fmt + 2);
    format.SamplesPerSec = Get32(fmt + 4);
    format.AvgBytesPerSec = Get32(fmt + 8);
    format.BlockAlign = Get16(fmt + 12);
    format.BitsPerSample = Get16(fmt + 14);
    if (!IsPlayableFormat(format) || dataSize % format.BlockAlign != 0)
        throw EWaveStreamError(BadWave);

    format_ = format;
    data_.assign(data, data + dataSize);
}

void TWave::Clear()
{
    format_ = {};
    data_.clear();
}

double TWave::Duration() const
{
    return format_.SamplesPerSec ? static_cast<double>(FrameCount()) / format_.SamplesPerSec : 0.0;
}
