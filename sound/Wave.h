#pragma once

#include "platform/core/Exception.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// Clip data that is not a readable RIFF WAVE file of PCM samples.
ZIM_DECLARE_EXCEPTION(EWaveStreamError, Exception);

// The 16-byte PCM format block of a WAVE file.
struct TWaveFormat {
    std::uint16_t FormatTag = 0;
    std::uint16_t Channels = 0;
    std::uint32_t SamplesPerSec = 0;
    std::uint32_t AvgBytesPerSec = 0;
    std::uint16_t BlockAlign = 0;
    std::uint16_t BitsPerSample = 0;

    friend bool operator==(const TWaveFormat&, const TWaveFormat&) = default;
};

inline constexpr std::uint16_t WAVE_FORMAT_PCM = 1;

// A clip read from a WAVE file held in memory: its format and its sample bytes. The "fmt " and
// "data" chunks are found by their tags and other chunks are skipped; the RIFF length is not
// trusted. Anything that cannot be read safely fails with EWaveStreamError "不正な Wave です".
class TWave {
  public:
    TWave() = default;

    void LoadFromMemory(std::span<const std::uint8_t> file);
    void Clear();

    bool Empty() const { return data_.empty(); }
    const TWaveFormat& Format() const { return format_; }
    std::span<const std::uint8_t> Data() const { return data_; }
    std::size_t DataSize() const { return data_.size(); }
    std::size_t FrameCount() const { return format_.BlockAlign ? data_.size() / format_.BlockAlign : 0; }
    double Duration() const; // seconds

  private:
    TWaveFormat format_;
    std::vector<std::uint8_t> data_;
};

// What the reader accepts of a format block: PCM, one or two channels of 8 or 16 bits, at a rate
// a sound device can be asked to play.
bool IsPlayableFormat(const TWaveFormat& format);
