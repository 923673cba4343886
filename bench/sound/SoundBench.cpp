// What a play costs the game step that makes it, and what the mixer costs the audio thread.
//
//     build/bench/sound/sound_bench
//
// Allocations are counted by replacing the global operator new; a warm play must make none.

#include "platform/headless/HeadlessAudio.h"
#include "platform/services/Focus.h"
#include "sound/BuiltinClips.h"
#include "sound/DXSounds.h"
#include "sound/Mixer.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <new>

namespace {
std::atomic<long> allocations{0};
}

void* operator new(std::size_t size)
{
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept
{
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}

namespace {

constexpr AudioSpec DeviceSpec{48000, 2, 512};

// FindWave and PlayWave as a game step makes them, on a clip that already has its copies:
// eight overlapping "Hit"s, then the device plays them out (untimed) and it starts again.
void BM_PlayWaveWarm(benchmark::State& state)
{
    HeadlessAudioSystem audio;
    audio.SetDeviceSpec(DeviceSpec);
    SetAudioSystem(&audio);
    SetMainWindowActive(true);
    {
        TComponent form(nullptr);
        auto* list = new TDXWaveList(&form);
        auto* sound = new TDXSound(&form);
        AddBuiltinClips(*list);
        list->SetDXSound(sound);
        sound->Loaded();
        constexpr int overlapping = 8;
        for (int i = 0; i < overlapping; ++i)
            list->Items().FindWave("Hit").PlayWave(false);
        audio.PullBuffers(6);
        audio.ClearRecorded();

        long plays = 0, allocated = 0;
        std::chrono::nanoseconds spent{0};
        for (auto _ : state) {
            long before = allocations.load();
            auto start = std::chrono::steady_clock::now();
            for (int i = 0; i < overlapping; ++i)
                list->Items().FindWave("Hit").PlayWave(false);
            spent += std::chrono::steady_clock::now() - start;
            allocated += allocations.load() - before;
            plays += overlapping;
            state.PauseTiming();
            audio.PullBuffers(6);
            audio.ClearRecorded();
            state.ResumeTiming();
        }
        state.counters["ns_per_play"] = double(spent.count()) / double(plays);
        state.counters["allocs_per_play"] = double(allocated) / double(plays);
        state.counters["copies"] = list->Items().FindWave("Hit").CopyCount();
    }
    SetAudioSystem(nullptr);
}
BENCHMARK(BM_PlayWaveWarm);

// One device buffer (512 stereo frames at 48 kHz, 10.7 ms of sound) with eight copies sounding.
void BM_MixerBuffer8Voices(benchmark::State& state)
{
    SetMainWindowActive(true);
    Mixer mixer(DeviceSpec);
    std::vector<const SoundBuffer*> buffers;
    for (const auto& clip : BuiltinClips()) {
        TWave wave;
        wave.LoadFromMemory(clip.File);
        buffers.push_back(mixer.MakeBuffer(wave));
    }
    for (int i = 0; i < 8; ++i)
        mixer.Start(*mixer.MakeVoice(*buffers[i % buffers.size()]), true);
    std::vector<float> out(DeviceSpec.Frames * DeviceSpec.Channels);
    mixer.Render(out.data(), DeviceSpec.Frames);
    long before = allocations.load();
    for (auto _ : state) {
        mixer.Render(out.data(), DeviceSpec.Frames);
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["allocs_per_buffer"] = double(allocations.load() - before) / double(state.iterations());
}
BENCHMARK(BM_MixerBuffer8Voices);

// Opening the device with the game's three clips: every clip resampled to 48 kHz. Happens once,
// while the main window is made.
void BM_OpenDeviceWithTheClips(benchmark::State& state)
{
    HeadlessAudioSystem audio;
    audio.SetDeviceSpec(DeviceSpec);
    SetAudioSystem(&audio);
    for (auto _ : state) {
        TComponent form(nullptr);
        auto* list = new TDXWaveList(&form);
        auto* sound = new TDXSound(&form);
        AddBuiltinClips(*list);
        list->SetDXSound(sound);
        sound->Loaded();
        benchmark::DoNotOptimize(sound->Initialized());
    }
    SetAudioSystem(nullptr);
}
BENCHMARK(BM_OpenDeviceWithTheClips)->Unit(benchmark::kMillisecond);

} // namespace
