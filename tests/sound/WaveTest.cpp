// Reading WAVE files: chunks by tag, and every malformed file refused with the same error.

#include "sound/Wave.h"
#include "sound/Resampler.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

void Put16(Bytes& b, unsigned v)
{
    b.push_back(v & 0xff);
    b.push_back((v >> 8) & 0xff);
}
void Put32(Bytes& b, std::uint32_t v)
{
    Put16(b, v & 0xffff);
    Put16(b, v >> 16);
}
void Chunk(Bytes& b, const char* tag, const Bytes& body, std::uint32_t length)
{
    b.insert(b.end(), tag, tag + 4);
    Put32(b, length);
    b.insert(b.end(), body.begin(), body.end());
}
void Chunk(Bytes& b, const char* tag, const Bytes& body)
{
    Chunk(b, tag, body, static_cast<std::uint32_t>(body.size()));
    if (body.size() % 2)
        b.push_back(0);
}

Bytes Fmt(unsigned tag = 1, unsigned channels = 1, std::uint32_t rate = 11025, unsigned align = 1, unsigned bits = 8)
{
    Bytes f;
    Put16(f, tag);
    Put16(f, channels);
    Put32(f, rate);
    Put32(f, rate * align);
    Put16(f, align);
    Put16(f, bits);
    return f;
}

const Bytes Samples = {128, 200, 50, 128};

// A RIFF WAVE file around the given chunks.
Bytes Riff(const std::function<void(Bytes&)>& chunks, const char* form = "WAVE")
{
    Bytes body;
    chunks(body);
    Bytes file = {'R', 'I', 'F', 'F'};
    Put32(file, static_cast<std::uint32_t>(body.size() + 4));
    file.insert(file.end(), form, form + 4);
    file.insert(file.end(), body.begin(), body.end());
    return file;
}

Bytes Plain()
{
    return Riff([](Bytes& b) {
        Chunk(b, "fmt ", Fmt());
        Chunk(b, "data", Samples);
    });
}

struct ReadCase {
    const char* name;
    std::function<Bytes()> file;
};

class WaveReads : public testing::TestWithParam<ReadCase> {};

TEST_P(WaveReads, FindsTheFormatAndTheSamples)
{
    TWave wave;
    wave.LoadFromMemory(GetParam().file());
    EXPECT_EQ(wave.Format(), (TWaveFormat{1, 1, 11025, 11025, 1, 8}));
    EXPECT_EQ(Bytes(wave.Data().begin(), wave.Data().end()), Samples);
    EXPECT_NEAR(wave.Duration(), 4.0 / 11025, 1e-12);
}

INSTANTIATE_TEST_SUITE_P(Wave, WaveReads,
                         testing::Values(ReadCase{"Plain", Plain},
                                         ReadCase{
                                             "UnknownChunksAreSkipped",
                                             [] {
                                                 return Riff([](Bytes& b) {
                                                     Chunk(b, "LIST", {'I', 'N', 'F', 'O', 'x'}); // odd length, padded
                                                     Chunk(b, "fmt ", Fmt());
                                                     Chunk(b, "fact", {4, 0, 0, 0});
                                                     Chunk(b, "data", Samples);
                                                     Chunk(b, "cue ", {});
                                                 });
                                             }},
                                         ReadCase{"DataBeforeFormat",
                                                  [] {
                                                      return Riff([](Bytes& b) {
                                                          Chunk(b, "data", Samples);
                                                          Chunk(b, "fmt ", Fmt());
                                                      });
                                                  }},
                                         ReadCase{"LongFormatBlock",
                                                  [] {
                                                      return Riff([](Bytes& b) {
                                                          Bytes f = Fmt();
                                                          Put16(f, 0); // the size of nothing more
                                                          Chunk(b, "fmt ", f);
                                                          Chunk(b, "data", Samples);
                                                      });
                                                  }},
                                         ReadCase{"RiffLengthIgnored",
                                                  [] {
                                                      Bytes f = Plain();
                                                      f[4] = f[5] = f[6] = f[7] = 0xff;
                                                      return f;
                                                  }},
                                         ReadCase{"RiffLengthZero",
                                                  [] {
                                                      Bytes f = Plain();
                                                      f[4] = f[5] = f[6] = f[7] = 0;
                                                      return f;
                                                  }},
                                         ReadCase{"OddLastChunkWithoutPad",
                                                  [] {
                                                      return Riff([](Bytes& b) {
                                                          Chunk(b, "fmt ", Fmt());
                                                          Chunk(b, "data", Samples);
                                                          Chunk(b, "junk", {1, 2, 3}, 3);
                                                      });
                                                  }}),
                         [](const auto& info) { return std::string(info.param.name); });

class WaveRefuses : public testing::TestWithParam<ReadCase> {};

TEST_P(WaveRefuses, WithEWaveStreamError)
{
    TWave wave;
    wave.LoadFromMemory(Plain());
    Bytes file = GetParam().file();
    try {
        wave.LoadFromMemory(file);
        FAIL() << "read";
    } catch (const EWaveStreamError& e) {
        EXPECT_EQ(e.Message(), "不正な Wave です");
        EXPECT_STREQ(e.ClassName(), "EWaveStreamError");
    }
    // A failed read leaves the clip as it was.
    EXPECT_EQ(wave.DataSize(), Samples.size());
}

Bytes WithFormat(Bytes fmt, Bytes data = Samples)
{
    return Riff([&](Bytes& b) {
        Chunk(b, "fmt ", fmt);
        Chunk(b, "data", data);
    });
}

Bytes Truncated(std::size_t size)
{
    Bytes f = Plain();
    f.resize(size);
    return f;
}

INSTANTIATE_TEST_SUITE_P(
    Wave, WaveRefuses,
    testing::Values(ReadCase{"Empty", [] { return Bytes{}; }},
                    ReadCase{"NotRiff",
                             [] {
                                 Bytes f = Plain();
                                 f[3] = 'X';
                                 return f;
                             }},
                    ReadCase{"NotWave", [] { return Riff([](Bytes& b) { Chunk(b, "fmt ", Fmt()); }, "AVI "); }},
                    ReadCase{"OnlyTheRiffHeader", [] { return Truncated(11); }},
                    ReadCase{"NoChunks", [] { return Truncated(12); }},
                    ReadCase{"TruncatedChunkHeader", [] { return Truncated(15); }},
                    ReadCase{"TruncatedFormat", [] { return Truncated(30); }},
                    ReadCase{"TruncatedData", [] { return Truncated(46); }},
                    ReadCase{"NoFormat", [] { return Riff([](Bytes& b) { Chunk(b, "data", Samples); }); }},
                    ReadCase{"NoData", [] { return Riff([](Bytes& b) { Chunk(b, "fmt ", Fmt()); }); }},
                    ReadCase{"ChunkLengthPastTheEnd",
                             [] {
                                 return Riff([](Bytes& b) {
                                     Chunk(b, "fmt ", Fmt());
                                     Chunk(b, "data", Samples, 0xfffffff0u);
                                 });
                             }},
                    ReadCase{"UnknownChunkPastTheEnd",
                             [] {
                                 return Riff([](Bytes& b) {
                                     Chunk(b, "fmt ", Fmt());
                                     Chunk(b, "data", Samples);
                                     Chunk(b, "LIST", {1, 2}, 100);
                                 });
                             }},
                    ReadCase{"ShortFormatBlock",
                             [] {
                                 Bytes f = Fmt();
                                 f.resize(14);
                                 return WithFormat(f);
                             }},
                    ReadCase{"ZeroChannels", [] { return WithFormat(Fmt(1, 0, 11025, 0, 8)); }},
                    ReadCase{"ThreeChannels", [] { return WithFormat(Fmt(1, 3, 11025, 3, 8), Bytes(6, 128)); }},
                    ReadCase{"NotPcm", [] { return WithFormat(Fmt(3, 1, 11025, 4, 32)); }},
                    ReadCase{"TwelveBits", [] { return WithFormat(Fmt(1, 1, 11025, 2, 12)); }},
                    ReadCase{"WrongBlockAlign", [] { return WithFormat(Fmt(1, 1, 11025, 2, 8)); }},
                    ReadCase{"ZeroRate", [] { return WithFormat(Fmt(1, 1, 0, 1, 8)); }},
                    ReadCase{"AbsurdRate", [] { return WithFormat(Fmt(1, 1, 4000000, 1, 8)); }},
                    ReadCase{"PartialFrame", [] { return WithFormat(Fmt(1, 2, 11025, 4, 16), Bytes(6, 0)); }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WaveSamples, ScaleEightAndSixteenBitsAndAverageChannels)
{
    TWave eight;
    eight.LoadFromMemory(WithFormat(Fmt(1, 1, 11025, 1, 8), {0, 128, 255, 192}));
    EXPECT_EQ(WaveSamples(eight), (std::vector<float>{-1.0f, 0.0f, 127 / 128.0f, 0.5f}));
    TWave stereo16;
    stereo16.LoadFromMemory(WithFormat(Fmt(1, 2, 11025, 4, 16), {0x00, 0x40, 0x00, 0x00, 0x00, 0x80, 0x00, 0x80}));
    EXPECT_EQ(WaveSamples(stereo16), (std::vector<float>{0.25f, -1.0f}));
}

// A clip resampled to the device's rate keeps its length and its tone, without the images
// that nearest or linear interpolation would add.
TEST(Resample, KeepsAToneCleanAcrossRates)
{
    struct Case {
        int from, to;
        double hz;
    };
    const Case cases[] = {{11025, 48000, 1500}, {22050, 48000, 2871}, {22050, 44100, 520}, {48000, 22050, 1000}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.from << " -> " << c.to);
        const double pi = 3.14159265358979323846;
        std::vector<float> in(c.from / 10);
        for (std::size_t i = 0; i < in.size(); ++i)
            in[i] = static_cast<float>(0.8 * std::sin(2 * pi * c.hz * i / c.from));
        auto out = Resample(in, c.from, c.to);
        EXPECT_EQ(out.size(), static_cast<std::size_t>(std::ceil(in.size() * double(c.to) / c.from)));
        // Away from the ends, the error against the ideal tone is far below hearing.
        double err = 0, sig = 0;
        for (std::size_t n = out.size() / 4; n < out.size() * 3 / 4; ++n) {
            double ideal = 0.8 * std::sin(2 * pi * c.hz * n / c.to);
            err += (out[n] - ideal) * (out[n] - ideal);
            sig += ideal * ideal;
        }
        EXPECT_LT(10 * std::log10(err / sig), -60);
    }
    std::vector<float> same = {0.1f, -0.2f, 0.3f};
    EXPECT_EQ(Resample(same, 22050, 22050), same);
}

} // namespace
