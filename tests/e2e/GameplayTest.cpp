// A game on a real X server with real (disk) sound: the click, the countdown heard three times,
// the ball seen moving, the paddles following the pointer, the game over and the stored best.

#include "XSession.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace {

constexpr int kRate = 48000;  // what the game asks of the device; the disk driver takes it as it is
constexpr int kChannels = 2;

std::vector<float> ReadSamples(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<float> samples(bytes.size() / sizeof(float));
    std::memcpy(samples.data(), bytes.data(), samples.size() * sizeof(float));
    return samples;
}

// Start times (seconds into the output) of the sounds in it: a 5 ms window louder than the
// threshold after at least 100 ms of near silence.
std::vector<double> Onsets(const std::vector<float>& samples)
{
    constexpr int kWindow = kRate / 200;
    std::vector<double> onsets;
    int quietWindows = 1000;
    for (std::size_t start = 0; start + kWindow * kChannels <= samples.size(); start += kWindow * kChannels) {
        double energy = 0;
        for (int i = 0; i < kWindow * kChannels; ++i)
            energy += samples[start + i] * samples[start + i];
        double rms = std::sqrt(energy / (kWindow * kChannels));
        if (rms > 0.02) {
            if (quietWindows >= 20)
                onsets.push_back(static_cast<double>(start / kChannels) / kRate);
            quietWindows = 0;
        } else {
            ++quietWindows;
        }
    }
    return onsets;
}

bool White(std::uint32_t p) { return ((p >> 16) & 0xFF) > 0xC0 && ((p >> 8) & 0xFF) > 0xC0 && (p & 0xFF) > 0xC0; }

// The ball: the centre of the white pixels of the field that belong to a filled 3 x 3 block
// (the paddles are lines one pixel thick).
bool BallCentre(const Image& image, double& x, double& y)
{
    double sx = 0, sy = 0;
    int n = 0;
    for (int py = 1; py < 207 && py + 1 < image.height; ++py)
        for (int px = 1; px + 1 < image.width; ++px) {
            bool block = true;
            for (int dy = -1; dy <= 1 && block; ++dy)
                for (int dx = -1; dx <= 1 && block; ++dx)
                    block = White(image.At(px + dx, py + dy));
            if (block) {
                sx += px;
                sy += py;
                ++n;
            }
        }
    if (n == 0)
        return false;
    x = sx / n;
    y = sy / n;
    return true;
}

int WhiteInRow(const Image& image, int y, int left, int right)
{
    int n = 0;
    for (int x = std::max(0, left); x < right && x < image.width; ++x)
        n += White(image.At(x, y));
    return n;
}

int WhiteInColumn(const Image& image, int x, int top, int bottom)
{
    int n = 0;
    for (int y = std::max(0, top); y < bottom && y < image.height; ++y)
        n += White(image.At(x, y));
    return n;
}

TEST(Gameplay, AWholeGameFromTheClickToTheStoredBest)
{
    XSession x;
    ASSERT_TRUE(x.Ok());
    TempDir dir;
    {
        std::ofstream best(dir.File("Best.dat"), std::ios::binary);
        best.write("\x05\0\0\0", 4);
    }
    std::string audio = dir.File("audio.raw");
    Program game(x, CopyZimbrot(dir), dir.Path(), {{"SDL_AUDIODRIVER", "disk"}, {"SDL_DISKAUDIOFILE", audio}});
    unsigned long window = x.WaitForWindow("Zimbrot");
    ASSERT_NE(window, 0u) << game.Stderr();
    const std::string w = std::to_string(window);
    // Sound is heard only while the window is the active one.
    x.Xdotool("windowfocus --sync " + w);

    // The title screen comes up; click its heading.
    ASSERT_TRUE(WaitFor([&] { return WhiteInRow(x.Capture(window), 40, 16, 192) > 5; }));
    std::filesystem::remove(dir.File("Best.dat"));
    x.Xdotool("mousemove --window " + w + " 40 30 click 1");

    // Three "count" plays, 700 ms apart, then the ball moves.
    std::vector<double> onsets;
    EXPECT_TRUE(WaitFor([&] { return (onsets = Onsets(ReadSamples(audio))).size() >= 3; }, 60s))
        << onsets.size() << " sounds heard; " << game.Stderr();
    ASSERT_GE(onsets.size(), 3u);
    for (int i = 1; i < 3; ++i)
        EXPECT_NEAR(onsets[i] - onsets[i - 1], 0.7, 0.15) << "between count " << i << " and " << i + 1;

    // Keep the paddles out of the ball's way: the pointer near the top left corner of the field.
    x.Xdotool("mousemove --window " + w + " 2 3");
    Image first, second;
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    ASSERT_TRUE(WaitFor([&] { first = x.Capture(window); return BallCentre(first, x1, y1); })) << "no ball";
    EXPECT_TRUE(WaitFor([&] {
        second = x.Capture(window);
        return BallCentre(second, x2, y2) && std::abs(x2 - x1) >= 3;
    })) << "the ball did not move";
    // Down and to the left, one pixel each way per step.
    EXPECT_LT(x2, x1);
    EXPECT_GT(y2, y1);
    EXPECT_NEAR(x1 - x2, y2 - y1, 2.0);

    // The paddles take the pointer's coordinates: top and bottom at its x, left and right at its y.
    x.Xdotool("mousemove --window " + w + " 30 40");
    EXPECT_TRUE(WaitFor([&] {
        Image image = x.Capture(window);
        return WhiteInRow(image, 16, 31, 72) >= 40 && WhiteInRow(image, 192, 31, 72) >= 40 &&
               WhiteInColumn(image, 16, 40, 81) >= 40 && WhiteInColumn(image, 184, 40, 81) >= 40;
    })) << "paddles did not follow";
    x.Xdotool("mousemove --window " + w + " 2 3");

    // The ball reaches an edge: "Lose", the title screen, the best count stored.
    EXPECT_TRUE(WaitFor([&] { return WhiteInRow(x.Capture(window), 40, 16, 192) > 5; }, 60s)) << "no game over";
    ASSERT_TRUE(WaitFor([&] { return std::filesystem::exists(dir.File("Best.dat")); }));
    std::ifstream best(dir.File("Best.dat"), std::ios::binary);
    char bytes[8] = {};
    best.read(bytes, 8);
    EXPECT_EQ(best.gcount(), 4);
    EXPECT_EQ(std::string(bytes, 4), std::string("\x05\0\0\0", 4));

    x.Close(window);
    EXPECT_EQ(game.Wait(), 0) << game.Stderr();
}

}  // namespace
