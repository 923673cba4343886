#pragma once

#include "platform/services/Audio.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

class TWave;

// A clip's samples made ready for the device: one channel of floats at the device's rate. All
// the copies of a clip read the same buffer; it never changes once made.
class SoundBuffer {
  public:
    explicit SoundBuffer(std::vector<float> samples) : samples_(std::move(samples)) {}
    std::span<const float> Samples() const { return samples_; }

  private:
    std::vector<float> samples_;
};

// One copy of a clip: a play position over a shared buffer. A copy is sounding from the moment
// it is started until the mixer has rendered its last sample (or stopped it).
class SoundVoice {
  public:
    explicit SoundVoice(const SoundBuffer& buffer) : buffer_(&buffer) {}
    SoundVoice(const SoundVoice&) = delete;
    SoundVoice& operator=(const SoundVoice&) = delete;

    const SoundBuffer& Buffer() const { return *buffer_; }
    bool Sounding() const { return sounding_.load(std::memory_order_acquire); }

  private:
    friend class Mixer;

    const SoundBuffer* buffer_;
    std::atomic<bool> sounding_{false};
    std::atomic<bool> stop_{false};
    bool looped_ = false;               // set before the hand-over, read by the audio thread
    SoundVoice* pendingNext_ = nullptr; // the hand-over stack
    SoundVoice* activeNext_ = nullptr;  // the audio thread's list of sounding copies
    std::size_t position_ = 0;          // audio thread only
};

// Our own small mixer, run in the audio callback. Plays are handed over through a lock-free
// stack of copies, so a play neither waits for the audio thread nor allocates; the next buffer
// the device asks for already holds the play's first sample. The sum of the copies passes a
// limiter, so overlapping clips get quieter for a moment instead of clipping.
//
// Buffers and copies belong to the mixer and live until it is destroyed, which must come after
// the output that calls Render() has closed. Making buffers and copies, Start() and Stop() run on
// one thread at a time (the game's window thread or its timer ticks, kept apart by the UI lock);
// Render() runs on the audio thread.
class Mixer {
  public:
    // A device mixes at most this many copies; beyond it a new copy is refused.
    static constexpr std::size_t MaxVoices = 256;

    explicit Mixer(const AudioSpec& spec);
    Mixer(const Mixer&) = delete;
    Mixer& operator=(const Mixer&) = delete;
    ~Mixer();

    const AudioSpec& Spec() const { return spec_; }

    // The clip's samples at the device's rate; nullptr for a clip without samples.
    const SoundBuffer* MakeBuffer(const TWave& wave);
    // A new copy reading `buffer`; nullptr once MaxVoices copies exist.
    SoundVoice* MakeVoice(const SoundBuffer& buffer);
    // Starts a copy that is not sounding from its first sample; false when it is sounding.
    bool Start(SoundVoice& voice, bool looped);
    // Ends a copy at the next buffer.
    void Stop(SoundVoice& voice);

    // Whether the clips are silenced while the main window is not the active window.
    void SetFollowFocus(bool follow) { followFocus_.store(follow, std::memory_order_relaxed); }

    // The fill function of the output: `frames` interleaved frames of Spec().Channels channels.
    void Render(float* out, int frames);
    std::uint64_t FramesRendered() const { return framesRendered_.load(std::memory_order_acquire); }

  private:
    void TakeStarted();
    void RenderChunk(float* out, int frames);

    AudioSpec spec_;
    std::vector<std::unique_ptr<SoundBuffer>> buffers_;
    std::vector<std::unique_ptr<SoundVoice>> voices_;
    std::atomic<SoundVoice*> started_{nullptr};
    std::atomic<bool> followFocus_{true};
    std::atomic<std::uint64_t> framesRendered_{0};

    // Audio thread only.
    SoundVoice* active_ = nullptr;
    std::vector<float> mix_;
    float focusGain_;
    float envelope_ = 0.0f;
    float release_;
};
