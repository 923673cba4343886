// The sound device on real SDL audio, with SDL's disk driver writing the mixed output to a file.
// Plays are made from the audio thread itself at chosen device buffers, so the overlaps do not
// depend on how fast the machine is.

#include "ClipAnalysis.h"
#include "platform/sdl/SdlAudio.h"
#include "platform/services/Focus.h"
#include "sound/DXSounds.h"
#include "sound/Mixer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// Runs a step before each buffer the device asks for, on the audio thread.
class SteppedAudio : public AudioSystem {
  public:
    std::function<void(int buffer)> step;
    AudioSpec spec;

    std::unique_ptr<AudioOutput> Open(const AudioSpec& wanted, AudioFill fill) override
    {
        return sdl_.Open(wanted, [this, fill](float* out, int frames) {
            step(buffers_++);
            fill(out, frames);
        });
    }

  private:
    SdlAudioSystem sdl_;
    int buffers_ = 0;
};

class SdlDiskAudio : public testing::Test {
  public:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("zim-sound-" + std::to_string(::getpid()));
        fs::create_directories(dir);
        output = dir / "mixed.raw";
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", output.c_str(), 1);
        setenv("SDL_DISKAUDIODELAY", "0", 1);
        SetAudioSystem(&audio);
        SetMainWindowActive(true);
    }
    void TearDown() override
    {
        SetAudioSystem(nullptr);
        SetMainWindowActive(false);
        fs::remove_all(dir);
    }

    std::vector<float> ReadOutput()
    {
        std::ifstream file(output, std::ios::binary);
        std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        std::vector<float> samples(bytes.size() / sizeof(float));
        std::memcpy(samples.data(), bytes.data(), samples.size() * sizeof(float));
        return samples;
    }

    fs::path dir, output;
    SteppedAudio audio;
};

TEST_F(SdlDiskAudio, OverlappingHitsBothSoundAndALaterOneReusesTheFirstCopy)
{
    TComponent form(nullptr);
    auto* list = new TDXWaveList(&form);
    auto* sound = new TDXSound(&form);
    AddBuiltinClips(*list);
    list->SetDXSound(sound);
    auto& hit = list->Items().FindWave("Hit");

    // Buffers at which "Hit" is played, and what the item looked like right after each play.
    const int plays[] = {3, 4, 16};
    std::atomic<bool> done{false};
    int copiesAfterSecond = 0, copiesAfterThird = 0;
    bool firstSoundingAfterThird = false, secondSoundingAfterThird = true, bothEndedBeforeThird = false;
    int frames = 0;
    audio.step = [&](int buffer) {
        if (done.load())
            return;
        if (buffer == plays[2])
            bothEndedBeforeThird = !hit.CopySounding(0) && !hit.CopySounding(1);
        if (buffer == plays[0] || buffer == plays[1] || buffer == plays[2])
            hit.PlayWave(false);
        if (buffer == plays[1])
            copiesAfterSecond = hit.CopyCount();
        if (buffer == plays[2]) {
            copiesAfterThird = hit.CopyCount();
            firstSoundingAfterThird = hit.CopySounding(0);
            secondSoundingAfterThird = hit.CopySounding(1);
        }
        if (buffer == plays[2] + 12)
            done.store(true);
    };

    list->Loaded();
    sound->Loaded();
    ASSERT_TRUE(sound->Initialized()) << "SDL's disk audio driver did not open";
    const AudioSpec spec = sound->SoundMixer()->Spec();
    frames = spec.Frames;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!done.load() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_TRUE(done.load());
    // Our own copy of the clip's device buffer, made before the device closes.
    Mixer reference(spec);
    auto samples = reference.MakeBuffer(hit.Wave())->Samples();
    std::vector<float> clip(samples.begin(), samples.end());
    delete sound; // closes the device; the file is complete

    EXPECT_EQ(copiesAfterSecond, 2);
    EXPECT_TRUE(bothEndedBeforeThird);
    EXPECT_EQ(copiesAfterThird, 2);
    EXPECT_TRUE(firstSoundingAfterThird);
    EXPECT_FALSE(secondSoundingAfterThird);

    // The file may begin with silence written before the device started; the plays sit at
    // whole buffers from its start. Find the first play and check all three against the clip.
    auto mixed = ReadOutput();
    const int channels = spec.Channels;
    const auto total = static_cast<long>(mixed.size() / channels);
    auto at = [&](long frame) { return frame < total ? mixed[frame * channels] : 0.0f; };
    long start = 0;
    while (start < total && at(start) == 0.0f)
        ++start;
    start -= start % frames;
    ASSERT_LT(start, total);
    for (long i = 0; i < total; ++i)
        for (int c = 1; c < channels; ++c)
            ASSERT_EQ(mixed[i * channels + c], mixed[i * channels]) << "centred";

    auto expected = [&](long frame) {
        float sum = 0;
        for (int p : plays) {
            long offset = frame - start - static_cast<long>(p - plays[0]) * frames;
            if (offset >= 0 && offset < static_cast<long>(clip.size()))
                sum += clip[offset];
        }
        return sum;
    };
    bool limiting = false;
    long secondEnd = start + static_cast<long>(plays[1] - plays[0]) * frames + static_cast<long>(clip.size());
    for (long i = start; i < secondEnd; ++i) {
        float want = expected(i);
        limiting = limiting || std::fabs(want) > 1.0f;
        if (!limiting) {
            ASSERT_NEAR(at(i), want, 1e-6) << "frame " << i - start;
        } else if (std::fabs(want) > 0.05f) {
            float gain = at(i) / want;
            ASSERT_TRUE(gain > 0.5f && gain <= 1.0f) << "frame " << i - start << ": " << gain;
        }
    }
    // Silence between, then the third play alone, exactly the clip.
    long third = start + static_cast<long>(plays[2] - plays[0]) * frames;
    for (long i = secondEnd; i < third; ++i)
        ASSERT_EQ(at(i), 0.0f) << "frame " << i - start;
    for (long i = third; i < third + static_cast<long>(clip.size()); ++i)
        ASSERT_NEAR(at(i), expected(i), 1e-6) << "frame " << i - start;
}

TEST_F(SdlDiskAudio, WithoutADeviceTheGameRunsSilently)
{
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    TComponent form(nullptr);
    auto* list = new TDXWaveList(&form);
    auto* sound = new TDXSound(&form);
    AddBuiltinClips(*list);
    list->SetDXSound(sound);
    list->Loaded();
    EXPECT_NO_THROW(sound->Loaded());
    EXPECT_FALSE(sound->Initialized());
    EXPECT_NO_THROW(list->Items().FindWave("Hit").PlayWave(false));
}

} // namespace

namespace {

// A game's worth of plays from the timer's thread while SDL's thread mixes: every play ends,
// and the copies stay as few as the overlaps need. (Run under ThreadSanitizer.)
TEST_F(SdlDiskAudio, PlaysFromAnotherThreadWhileTheDeviceMixes)
{
    audio.step = [](int) {};
    TComponent form(nullptr);
    auto* list = new TDXWaveList(&form);
    auto* sound = new TDXSound(&form);
    AddBuiltinClips(*list);
    list->SetDXSound(sound);
    list->Loaded();
    sound->Loaded();
    ASSERT_TRUE(sound->Initialized());
    Mixer& mixer = *sound->SoundMixer();

    std::thread ticks([&] {
        for (int i = 0; i < 300; ++i) {
            list->Items().FindWave(i % 7 == 0 ? "Lose" : i % 3 == 0 ? "count" : "Hit").PlayWave(false);
            // About one device buffer between plays, as a 4 ms step timer at 48 kHz gives.
            auto from = mixer.FramesRendered();
            while (mixer.FramesRendered() < from + 256)
                std::this_thread::yield();
        }
    });
    ticks.join();
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    auto sounding = [&] {
        for (int i = 0; i < list->Items().Count(); ++i)
            for (int c = 0; c < list->Items().Items(i).CopyCount(); ++c)
                if (list->Items().Items(i).CopySounding(c))
                    return true;
        return false;
    };
    while (sounding() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_FALSE(sounding());
    // "Lose" (14881 frames) comes every 7 plays, at least 1792 frames apart: at most 9 overlap.
    EXPECT_GE(list->Items().FindWave("Lose").CopyCount(), 1);
    EXPECT_LE(list->Items().FindWave("Lose").CopyCount(), 10);
    delete sound;
}

} // namespace

namespace {

TEST_F(SdlDiskAudio, AWaitingPlayReturnsOnceTheClipHasSounded)
{
    audio.step = [](int) {};
    TComponent form(nullptr);
    auto* list = new TDXWaveList(&form);
    auto* sound = new TDXSound(&form);
    AddBuiltinClips(*list);
    list->SetDXSound(sound);
    sound->Loaded();
    ASSERT_TRUE(sound->Initialized());
    auto& lose = list->Items().FindWave("Lose");
    auto from = sound->SoundMixer()->FramesRendered();
    lose.PlayWave(true);
    EXPECT_FALSE(lose.CopySounding(0));
    // The whole clip went through the device first.
    EXPECT_GE(sound->SoundMixer()->FramesRendered() - from,
              static_cast<std::uint64_t>(0.31 * sound->SoundMixer()->Spec().Rate));
}

} // namespace
