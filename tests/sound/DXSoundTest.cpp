// The sound device and the clip list on the headless audio system, which renders only when a
// test pulls a buffer: the copy rules, the look-up, focus, and closing.

#include "ClipAnalysis.h"
#include "platform/headless/HeadlessAudio.h"
#include "platform/services/Focus.h"
#include "sound/DXSounds.h"
#include "sound/Mixer.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr int BufferFrames = 256;
constexpr int HitFrames = 1160, LoseFrames = 3418;

// The game's main window as far as sound goes: the clip list, then the device, both owned by
// the form, linked after loading and told of its end in that order.
class SoundFixture : public testing::Test {
  public:
    void SetUp() override
    {
        SetAudioSystem(&audio);
        SetMainWindowActive(true);
        // Mono at the clips' own rate, so the device buffer holds the clip's samples unchanged.
        audio.SetDeviceSpec({22050, 1, BufferFrames});
    }
    void TearDown() override
    {
        form.reset();
        SetAudioSystem(nullptr);
        SetMainWindowActive(false);
    }

    void Load()
    {
        form = std::make_unique<TComponent>(nullptr);
        list = new TDXWaveList(form.get());
        sound = new TDXSound(form.get());
        AddBuiltinClips(*list);
        list->Loading();
        sound->Loading();
        list->SetDXSound(sound);
        list->Loaded();
        sound->Loaded();
    }

    TWaveCollectionItem& Find(const std::string& name) { return list->Items().FindWave(name); }
    void Play(const std::string& name) { Find(name).PlayWave(false); }

    // The clip's samples as the mixer outputs them, one channel.
    static std::vector<float> ClipSamples(const char* name)
    {
        std::vector<float> out;
        for (double v : clip::Levels(clip::Builtin(name)))
            out.push_back(static_cast<float>(v / 128.0));
        return out;
    }

    HeadlessAudioSystem audio;
    std::unique_ptr<TComponent> form;
    TDXWaveList* list = nullptr;
    TDXSound* sound = nullptr;
};

TEST_F(SoundFixture, OpensAtTheEndOfLoadingWithTheClipsInOrder)
{
    Load();
    EXPECT_TRUE(sound->AutoInitialize());
    EXPECT_TRUE(sound->Options().Empty());
    EXPECT_TRUE(sound->Initialized());
    EXPECT_EQ(audio.OpenCount(), 1);
    ASSERT_EQ(list->Items().Count(), 3);
    const char* names[] = {"count", "Hit", "Lose"};
    for (int i = 0; i < 3; ++i) {
        const auto& item = list->Items().Items(i);
        EXPECT_EQ(item.Name(), names[i]);
        EXPECT_FALSE(item.Looped());
        EXPECT_EQ(item.MaxPlayingCount(), 0);
        EXPECT_EQ(item.CopyCount(), 0);
    }
}

TEST_F(SoundFixture, WithoutADeviceTheGamePlaysOnSilently)
{
    struct Case {
        const char* name;
        std::function<void(SoundFixture&)> arrange;
    };
    const Case cases[] = {
        {"no device", [](SoundFixture& f) { f.audio.SetAvailable(false); }},
        {"no audio system", [](SoundFixture&) { SetAudioSystem(nullptr); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.arrange(*this);
        EXPECT_NO_THROW(Load());
        EXPECT_FALSE(sound->Initialized());
        EXPECT_NO_THROW(Play("Hit"));
        EXPECT_EQ(Find("Hit").CopyCount(), 0);
        EXPECT_EQ(Find("Hit").PlayCount(), 1); // the play happened, unheard
        // No second attempt in the same run.
        audio.SetAvailable(true);
        SetAudioSystem(&audio);
        EXPECT_FALSE(sound->Initialize());
        EXPECT_EQ(audio.OpenCount(), 0);
        form.reset();
    }
}

TEST_F(SoundFixture, NotOpenedWithoutAutoInitialize)
{
    form = std::make_unique<TComponent>(nullptr);
    sound = new TDXSound(form.get());
    sound->SetAutoInitialize(false);
    sound->Loaded();
    EXPECT_FALSE(sound->Initialized());
    EXPECT_EQ(audio.OpenCount(), 0);
}

TEST_F(SoundFixture, FindWaveIgnoresCaseAndPrefersTheLaterOfTwoNames)
{
    Load();
    for (const char* name : {"Hit", "hit", "HIT", "hIT"})
        EXPECT_EQ(&Find(name), &list->Items().Items(1)) << name;
    auto& later = list->Items().Add();
    later.SetName("hit");
    EXPECT_EQ(&Find("Hit"), &later);
    try {
        Find("Miss");
        FAIL();
    } catch (const EWaveCollectionError& e) {
        EXPECT_EQ(e.Message(), "Wave 'Miss' が見つかりません");
        EXPECT_STREQ(e.ClassName(), "EWaveCollectionError");
    }
}

TEST_F(SoundFixture, APlayIsInTheNextBufferExactlyAsTheClip)
{
    Load();
    audio.PullBuffers(1);
    Play("count");
    auto out = audio.Pull(7000);
    auto clip = ClipSamples("count");
    EXPECT_FLOAT_EQ(out[0], 8 / 128.0f); // at most one buffer from play to first sample
    for (std::size_t i = 0; i < clip.size(); ++i)
        ASSERT_EQ(out[i], clip[i]) << i;
    for (std::size_t i = clip.size(); i < out.size(); ++i)
        ASSERT_EQ(out[i], 0.0f) << i;
}

TEST_F(SoundFixture, OverlappingPlaysMakeCopiesAndLaterPlaysReuseTheFirstIdleOne)
{
    Load();
    auto& hit = Find("Hit");
    Play("Hit");
    auto first = audio.PullBuffers(1);
    Play("Hit"); // 11.6 ms later, the first still sounding
    EXPECT_EQ(hit.CopyCount(), 2);
    EXPECT_TRUE(hit.CopySounding(0));
    EXPECT_TRUE(hit.CopySounding(1));
    auto rest = audio.PullBuffers(5);
    EXPECT_FALSE(hit.CopySounding(0));
    EXPECT_FALSE(hit.CopySounding(1));

    // Both sounded, the second one buffer after the first: the exact sum until it first passes
    // full scale; from there the limiter holds the sum's shape at a lower gain for a moment.
    first.insert(first.end(), rest.begin(), rest.end());
    auto clip = ClipSamples("Hit");
    bool limiting = false;
    for (int i = 0; i < HitFrames + BufferFrames; ++i) {
        float a = i < HitFrames ? clip[i] : 0.0f;
        float b = i >= BufferFrames ? clip[i - BufferFrames] : 0.0f;
        limiting = limiting || std::fabs(a + b) > 1.0f;
        if (!limiting) {
            ASSERT_EQ(first[i], a + b) << i;
        } else if (std::fabs(a + b) > 0.05f) {
            float gain = first[i] / (a + b);
            ASSERT_TRUE(gain > 0.5f && gain <= 1.0f) << i << ": " << gain;
        }
    }
    EXPECT_TRUE(limiting);

    Play("Hit");
    EXPECT_EQ(hit.CopyCount(), 2);
    EXPECT_TRUE(hit.CopySounding(0));
    EXPECT_FALSE(hit.CopySounding(1));
}

TEST_F(SoundFixture, DifferentClipsAndARepeatedLoseOverlapFreely)
{
    Load();
    Play("Lose");
    audio.PullBuffers(4);
    Play("Lose"); // the earlier one goes on to its end
    Play("Hit");
    Play("count");
    EXPECT_EQ(Find("Lose").CopyCount(), 2);
    EXPECT_EQ(Find("Hit").CopyCount(), 1);
    EXPECT_EQ(Find("count").CopyCount(), 1);
    // Lose is 11025 Hz, twice as long at the device's 22050.
    audio.Pull(2 * LoseFrames - 4 * BufferFrames + 10);
    EXPECT_FALSE(Find("Lose").CopySounding(0));
    EXPECT_TRUE(Find("Lose").CopySounding(1));
    audio.Pull(4 * BufferFrames);
    EXPECT_FALSE(Find("Lose").CopySounding(1));
    for (float v : audio.Recorded())
        ASSERT_LE(std::fabs(v), 1.0f);
}

TEST_F(SoundFixture, SilentButStillPlayingWhileTheWindowIsInactive)
{
    Load();
    SetMainWindowActive(false);
    audio.PullBuffers(1);
    Play("Hit");
    auto silent = audio.PullBuffers(5);
    for (float v : silent)
        ASSERT_EQ(v, 0.0f);
    EXPECT_EQ(Find("Hit").CopyCount(), 1);
    EXPECT_FALSE(Find("Hit").CopySounding(0)); // it played through, unheard

    SetMainWindowActive(true);
    Play("Hit");
    EXPECT_EQ(Find("Hit").CopyCount(), 1);
    auto heard = audio.PullBuffers(5);
    EXPECT_GT(*std::max_element(heard.begin(), heard.end()), 0.5f);

    // With global focus the clips are heard from any window.
    sound->SetOptions({TDXSoundOption::soGlobalFocus});
    SetMainWindowActive(false);
    audio.PullBuffers(1);
    Play("Hit");
    auto global = audio.PullBuffers(5);
    EXPECT_GT(*std::max_element(global.begin(), global.end()), 0.5f);
}

TEST_F(SoundFixture, AfterTheDeviceClosesFindWaveWorksAndPlayWaveDoesNothing)
{
    struct Case {
        const char* name;
        std::function<void(SoundFixture&)> close;
    };
    const Case cases[] = {
        {"finalized", [](SoundFixture& f) { f.sound->Finalize(); }},
        {"destroyed", [](SoundFixture& f) { delete f.sound; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Load();
        Play("Hit");
        Play("Hit");
        c.close(*this);
        EXPECT_FALSE(audio.IsOpen());
        EXPECT_EQ(Find("Hit").CopyCount(), 0); // released with the device
        EXPECT_NO_THROW(Play("Hit"));
        EXPECT_EQ(Find("Hit").CopyCount(), 0);
        if (std::string(c.name) == "destroyed") {
            EXPECT_EQ(list->DXSound(), nullptr);
        }
        form.reset();
    }
}

TEST_F(SoundFixture, AListDestroyedFirstLeavesTheDeviceSound)
{
    Load();
    Play("Lose");
    delete list; // its copy plays on in the mixer
    audio.PullBuffers(40);
    EXPECT_TRUE(sound->Initialized());
}

TEST_F(SoundFixture, AListLinkedAfterOpeningIsMadeReady)
{
    Load();
    auto* late = new TDXWaveList(form.get());
    AddBuiltinClips(*late);
    late->SetDXSound(sound);
    late->Items().FindWave("count").PlayWave(false);
    EXPECT_EQ(audio.PullBuffers(1)[0], 8 / 128.0f);
}

TEST_F(SoundFixture, RefusedBuffersFailThePlayWithEDirectSoundBufferError)
{
    Load();
    auto expectRefusal = [](const std::function<void()>& play, const char* message) {
        try {
            play();
            FAIL() << "played";
        } catch (const EDirectSoundBufferError& e) {
            EXPECT_EQ(e.Message(), message);
            EXPECT_STREQ(e.ClassName(), "EDirectSoundBufferError");
        }
    };
    // A clip without samples has no device buffer.
    auto& empty = list->Items().Add();
    empty.SetName("empty");
    expectRefusal([&] { empty.PlayWave(false); }, "サウンドバッファ を作成できません");

    // The device mixes a bounded number of copies; a refused copy is not kept, so the clip
    // plays again once copies are free.
    for (std::size_t i = 0; i < Mixer::MaxVoices; ++i)
        Play("Hit");
    expectRefusal([&] { Play("Hit"); }, "IDirectSoundBuffer は作成されていません");
    EXPECT_EQ(Find("Hit").CopyCount(), static_cast<int>(Mixer::MaxVoices));
    audio.PullBuffers(6);
    EXPECT_NO_THROW(Play("Hit"));
    EXPECT_TRUE(Find("Hit").CopySounding(0));
    // Overlapping clips never clip: 256 Hits at once stay within full scale.
    for (float v : audio.Recorded())
        ASSERT_LE(std::fabs(v), 1.0f);
}

TEST_F(SoundFixture, MaxPlayingCountAndLoopedItems)
{
    Load();
    auto& hit = Find("Hit");
    hit.SetMaxPlayingCount(1);
    Play("Hit");
    Play("Hit"); // dropped: one copy may sound
    EXPECT_EQ(hit.CopyCount(), 1);

    // A device that renders nothing (stalled) holds a waiting play a second past the clip at most.
    Find("count").PlayWave(true);
    EXPECT_TRUE(Find("count").CopySounding(0));

    auto& lose = Find("Lose");
    lose.SetLooped(true);
    Play("Lose");
    audio.Pull(3 * 2 * LoseFrames);
    EXPECT_TRUE(lose.CopySounding(0));
    lose.Stop();
    audio.PullBuffers(1);
    EXPECT_FALSE(lose.CopySounding(0));
}

TEST_F(SoundFixture, ResampledToAStereoDeviceCentredAndAtFullLevel)
{
    audio.SetDeviceSpec({48000, 2, 512});
    Load();
    Play("Lose");
    auto out = audio.Pull(16000);
    int frames = static_cast<int>(std::ceil(LoseFrames * 48000.0 / 11025));
    double sum = 0;
    for (int i = 0; i < 16000; ++i) {
        ASSERT_EQ(out[2 * i], out[2 * i + 1]);
        if (i >= frames) {
            ASSERT_EQ(out[2 * i], 0.0f);
        }
        sum += out[2 * i] * out[2 * i];
    }
    auto x = clip::Levels(clip::Builtin("Lose"));
    EXPECT_NEAR(20 * std::log10(std::sqrt(sum / frames)), clip::RmsDb(x, 0, LoseFrames), 0.3);
    EXPECT_FALSE(Find("Lose").CopySounding(0));
}

} // namespace
