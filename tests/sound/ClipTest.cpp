// The three built-in clips: their files and their content as the game's design describes them.

#include "ClipAnalysis.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace clip;

namespace {

TEST(BuiltinClips, AreTheGamesThreeInOrder)
{
    auto clips = BuiltinClips();
    ASSERT_EQ(clips.size(), 3u);
    EXPECT_EQ(clips[0].Name, "count");
    EXPECT_EQ(clips[1].Name, "Hit");
    EXPECT_EQ(clips[2].Name, "Lose");
}

struct FileCase {
    const char* name;
    std::uint32_t rate;
    std::size_t dataLength;
    std::size_t fileLength;
    double durationMs;
};

class ClipFile : public testing::TestWithParam<FileCase> {};

TEST_P(ClipFile, HasTheExactLayoutAndFormat)
{
    const FileCase& c = GetParam();
    std::span<const std::uint8_t> file;
    for (const auto& clip : BuiltinClips())
        if (clip.Name == c.name)
            file = clip.File;
    ASSERT_EQ(file.size(), c.fileLength);
    auto get32 = [&](std::size_t at) { return file[at] | file[at + 1] << 8 | file[at + 2] << 16 | file[at + 3] << 24; };
    EXPECT_EQ(std::memcmp(file.data(), "RIFF", 4), 0);
    EXPECT_EQ(get32(4), static_cast<int>(c.fileLength - 8));
    EXPECT_EQ(std::memcmp(file.data() + 8, "WAVEfmt ", 8), 0);
    EXPECT_EQ(get32(16), 16);
    EXPECT_EQ(std::memcmp(file.data() + 36, "data", 4), 0);
    EXPECT_EQ(get32(40), static_cast<int>(c.dataLength));

    TWave wave = Builtin(c.name);
    TWaveFormat expected{WAVE_FORMAT_PCM, 1, c.rate, c.rate, 1, 8};
    EXPECT_EQ(wave.Format(), expected);
    EXPECT_EQ(wave.DataSize(), c.dataLength);
    EXPECT_NEAR(wave.Duration() * 1000, c.durationMs, 0.05);
}

INSTANTIATE_TEST_SUITE_P(Clips, ClipFile,
                         testing::Values(FileCase{"count", 22050, 6186, 6230, 280.5},
                                         FileCase{"Hit", 22050, 1160, 1204, 52.6},
                                         FileCase{"Lose", 11025, 3418, 3462, 310.0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CountClip, StartsMidCycleAt136AndDiesAwayIntoAFaintResidue)
{
    TWave wave = Builtin("count");
    auto x = Levels(wave);
    EXPECT_EQ(wave.Data()[0], 136);
    EXPECT_NEAR(RmsDb(x, 0, MsToSample(20, 22050)), -11.7, 1.0);
    for (int i = MsToSample(135.5, 22050); i < static_cast<int>(x.size()); ++i)
        ASSERT_TRUE(x[i] >= -3 && x[i] <= 1) << "sample " << i << " is " << x[i];
    // Rising edges overshoot the high plateau (+57) to about +67.
    EXPECT_NEAR(MaxAbs(x, 0, MsToSample(20, 22050)), 67, 3);
    // High for about a quarter of each period (10.5 of 42.4 samples).
    int first20 = MsToSample(20, 22050), high = 0;
    for (int i = 0; i < first20; ++i)
        high += x[i] > 18;
    EXPECT_NEAR(double(high) / first20, 10.5 / 42.4, 0.03);
}

TEST(CountClip, FollowsItsPitchAndLevelCourse)
{
    struct Segment {
        double fromMs, toMs, pitch, span;
    };
    const Segment segments[] = {{1, 21, 520, 78},    {29, 39, 520, 47},    {41, 45.5, 520, 37},
                                {47, 51.5, 520, 28}, {58, 71, 1040, 16.5}, {73, 87, 1040, 11.5},
                                {89, 103, 520, 7.5}, {105, 118, 520, 4},   {120, 134, 1040, 2}};
    auto x = Levels(Builtin("count"));
    for (const Segment& s : segments) {
        SCOPED_TRACE(testing::Message() << s.fromMs << " to " << s.toMs << " ms");
        int from = MsToSample(s.fromMs, 22050), to = MsToSample(s.toMs, 22050);
        double span = PlateauSpan(x, from, to);
        EXPECT_NEAR(span, s.span, std::max(1.0, 0.1 * s.span));
        auto [lo, hi] = std::minmax_element(x.begin() + from, x.begin() + to);
        auto edges = UpwardCrossings(x, from, to, *lo + 0.4 * (*hi - *lo));
        EXPECT_NEAR(CrossingPitch(edges, 22050), s.pitch, 0.05 * s.pitch);
    }
}

TEST(HitClip, DipsThenSweepsUpAndEndsSilent)
{
    TWave wave = Builtin("Hit");
    auto x = Levels(wave);
    EXPECT_EQ(wave.Data().front(), 128);
    EXPECT_EQ(wave.Data().back(), 128);
    auto dip = std::min_element(x.begin(), x.begin() + MsToSample(1, 22050));
    EXPECT_NEAR(*dip, -25, 2);
    EXPECT_NEAR((dip - x.begin()) * 1000.0 / 22050, 0.6, 0.1);
    auto first = UpwardCrossings(x, 1, 60);
    ASSERT_FALSE(first.empty());
    EXPECT_NEAR(first.front() * 1000.0 / 22050, 1.0, 0.15);
    // Full swings until the fade, the loudest of the three clips.
    double swing = MaxAbs(x, MsToSample(2, 22050), MsToSample(42.5, 22050));
    EXPECT_GE(swing, 90);
    EXPECT_LE(swing, 103);
    EXPECT_NEAR(RmsDb(x, 0, static_cast<int>(x.size())), -6.6, 1.0);
}

TEST(HitClip, RisesInPitchAndFadesAfter42Ms)
{
    struct Point {
        double ms, pitch, swing;
    };
    const Point course[] = {{3, 254, 100},  {5, 272, 100},    {10, 331, 94},  {15, 394, 93},  {20, 491, 92},
                            {25, 617, 91},  {30, 788, 91},    {35, 1046, 89}, {40, 1401, 92}, {42.5, 1660, 84},
                            {45, 1975, 31}, {47.5, 2324, 12}, {50, 2871, 4}};
    auto x = Levels(Builtin("Hit"));
    for (const Point& p : course) {
        SCOPED_TRACE(testing::Message() << p.ms << " ms");
        double at = p.ms * 22050 / 1000;
        EXPECT_NEAR(PitchAround(x, at, 22050, p.ms > 42 ? 2 : 1), p.pitch, 0.05 * p.pitch);
        int halfCycle = static_cast<int>(22050 / p.pitch / 2) + 1;
        EXPECT_NEAR(MaxAbs(x, static_cast<int>(at) - halfCycle, static_cast<int>(at) + halfCycle), p.swing,
                    std::max(2.0, 0.1 * p.swing));
    }
}

constexpr int LoseFirst = 38, LoseSpacing = 166, LoseBursts = 21;

TEST(LoseClip, BeginsQuietlyEndsSilentAndStaysWithinTheScale)
{
    TWave wave = Builtin("Lose");
    auto x = Levels(wave);
    EXPECT_LE(MaxAbs(x, 0, LoseFirst), 12);
    EXPECT_EQ(wave.Data().back(), 128);
    auto [lo, hi] = std::minmax_element(wave.Data().begin(), wave.Data().end());
    EXPECT_EQ(*lo, 1);
    EXPECT_EQ(*hi, 253);
    EXPECT_NEAR(RmsDb(x, 0, static_cast<int>(x.size())), -13.6, 1.0);
    // The clip ends 5 ms into the 21st burst.
    EXPECT_NEAR((x.size() - (LoseFirst + 20 * LoseSpacing)) * 1000.0 / 11025, 5.0, 0.6);
}

TEST(LoseClip, Is21Bursts166SamplesApartWithTheirPeaksAndTones)
{
    const double peak[LoseBursts] = {127, 121, 116, 110, 105, 100, 94, 89, 83, 78, 73,
                                     67,  60,  48,  48,  44,  37,  33, 28, 24, 19};
    const double tone[LoseBursts] = {1410, 1460, 1520, 1570, 1610, 1650, 1700, 1750, 1780, 1830, 1870,
                                     1920, 1950, 1950, 1930, 1900, 1850, 1760, 1670, 1590, 1520};
    auto x = Levels(Builtin("Lose"));
    std::vector<int> onsets;
    for (int b = 0; b < LoseBursts; ++b) {
        SCOPED_TRACE(testing::Message() << "burst " << b + 1);
        int start = LoseFirst + b * LoseSpacing;
        int end = std::min<int>(start + LoseSpacing, static_cast<int>(x.size()));
        double measured = MaxAbs(x, start, end);
        EXPECT_NEAR(measured, peak[b], std::max(2.0, 0.05 * peak[b]));
        // The burst begins where the level first passes a quarter of its peak.
        int onset = start - 20;
        while (std::fabs(x[onset]) < measured / 4)
            ++onset;
        onsets.push_back(onset);
        auto crossings = UpwardCrossings(x, start, start + 40);
        EXPECT_NEAR(CrossingPitch(crossings, 11025), tone[b], 0.05 * tone[b]);
    }
    EXPECT_NEAR(onsets[0], LoseFirst, 6);
    for (int b = 1; b < LoseBursts; ++b)
        EXPECT_NEAR(onsets[b] - onsets[b - 1], LoseSpacing, 2) << "burst " << b + 1;
}

TEST(LoseClip, BurstsDecayAndSwellAgainAfterEachPeak)
{
    auto x = Levels(Builtin("Lose"));
    for (int b = 0; b < LoseBursts - 1; ++b) {
        SCOPED_TRACE(testing::Message() << "burst " << b + 1);
        int start = LoseFirst + b * LoseSpacing;
        int peakAt = start;
        for (int i = start; i < start + 20; ++i)
            if (std::fabs(x[i]) > std::fabs(x[peakAt]))
                peakAt = i;
        double burstPeak = std::fabs(x[peakAt]);
        EXPECT_LE((peakAt - start) * 1000.0 / 11025, 1.2) << "peak within about 0.7 ms";
        // Down to a quarter: within about 5 ms at first, 2.5 to 3 ms from the twelfth burst on.
        int quarterAt = peakAt;
        while (Envelope(x, quarterAt) > burstPeak / 4)
            ++quarterAt;
        double quarterMs = (quarterAt - peakAt) * 1000.0 / 11025;
        if (b >= 2 && b < 6) {
            EXPECT_NEAR(quarterMs, 4.5, 1.0);
        } else if (b >= 11) {
            EXPECT_NEAR(quarterMs, 2.75, 0.75);
        }
        // The swell, about 5.5 ms after the peak: a share of the burst's peak.
        int swellAt = peakAt + MsToSample(5.5, 11025);
        double trough = burstPeak, swell = 0;
        for (int i = peakAt + MsToSample(1, 11025); i < swellAt - 4; ++i)
            trough = std::min(trough, Envelope(x, i));
        for (int i = swellAt - 8; i <= swellAt + 8; ++i)
            swell = std::max(swell, Envelope(x, i));
        double expected = b < 2 ? 0.67 : b < 7 ? 0.45 : b < 9 ? 0.25 : 0.19;
        EXPECT_NEAR(swell / burstPeak, expected, b < 9 ? 0.1 : 0.07);
        EXPECT_GT(swell, trough);
    }
}

} // namespace
