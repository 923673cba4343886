#include "sound/Mixer.h"

#include "platform/services/Focus.h"
#include "sound/Resampler.h"
#include "sound/Wave.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr int ChunkFrames = 1024;
constexpr double LimiterReleaseSeconds = 0.08;
} // namespace

Mixer::Mixer(const AudioSpec& spec)
    : spec_(spec), mix_(ChunkFrames), focusGain_(MainWindowActive() ? 1.0f : 0.0f),
      release_(static_cast<float>(std::exp(-1.0 / (LimiterReleaseSeconds * std::max(1, spec.Rate)))))
{
    spec_.Channels = std::max(1, spec_.Channels);
    buffers_.reserve(16);
    voices_.reserve(MaxVoices);
}

Mixer::~Mixer() = default;

const SoundBuffer* Mixer::MakeBuffer(const TWave& wave)
{
    if (wave.Empty() || !IsPlayableFormat(wave.Format()))
        return nullptr;
    auto samples = Resample(WaveSamples(wave), static_cast<int>(wave.Format().SamplesPerSec), spec_.Rate);
    buffers_.push_back(std::make_unique<SoundBuffer>(std::move(samples)));
    return buffers_.back().get();
}

SoundVoice* Mixer::MakeVoice(const SoundBuffer& buffer)
{
    // The room for every copy is reserved up front, so the audio thread never walks a list that
    // is being moved, and a play that makes a copy allocates only the copy itself.
    if (voices_.size() >= MaxVoices)
        return nullptr;
    voices_.push_back(std::make_unique<SoundVoice>(buffer));
    return voices_.back().get();
}

bool Mixer::Start(SoundVoice& voice, bool looped)
{
    bool idle = false;
    if (!voice.sounding_.compare_exchange_strong(idle, true, std::memory_order_acq_rel))
        return false;
    voice.stop_.store(false, std::memory_order_relaxed);
    voice.looped_ = looped;
    SoundVoice* head = started_.load(std::memory_order_relaxed);
    do {
        voice.pendingNext_ = head;
    } while (!started_.compare_exchange_weak(head, &voice, std::memory_order_release, std::memory_order_relaxed));
    return true;
}

void Mixer::Stop(SoundVoice& voice)
{
    voice.stop_.store(true, std::memory_order_relaxed);
}

void Mixer::TakeStarted()
{
    // The whole stack is taken at once, so no copy can be popped twice (no ABA).
    SoundVoice* taken = started_.exchange(nullptr, std::memory_order_acquire);
    while (taken != nullptr) {
        SoundVoice* next = taken->pendingNext_;
        taken->position_ = 0;
        taken->activeNext_ = active_;
        active_ = taken;
        taken = next;
    }
}

void Mixer::Render(float* out, int frames)
{
    TakeStarted();
    while (frames > 0) {
        int n = std::min(frames, ChunkFrames);
        RenderChunk(out, n);
        out += static_cast<std::size_t>(n) * spec_.Channels;
        frames -= n;
    }
}

void Mixer::RenderChunk(float* out, int frames)
{
    float* mix = mix_.data();
    std::fill(mix, mix + frames, 0.0f);

    for (SoundVoice** link = &active_; *link != nullptr;) {
        SoundVoice* voice = *link;
        std::span<const float> samples = voice->buffer_->Samples();
        std::size_t pos = voice->position_;
        bool ended = voice->stop_.load(std::memory_order_relaxed) || samples.empty();
        for (int i = 0; i < frames && !ended;) {
            auto take = static_cast<int>(std::min<std::size_t>(frames - i, samples.size() - pos));
            const float* src = samples.data() + pos;
            for (int k = 0; k < take; ++k)
                mix[i + k] += src[k];
            i += take;
            pos += take;
            if (pos == samples.size()) {
                if (voice->looped_)
                    pos = 0;
                else
                    ended = true;
            }
        }
        if (ended) {
            *link = voice->activeNext_;
            voice->activeNext_ = nullptr;
            // Last: from here on a play may take this copy again.
            voice->sounding_.store(false, std::memory_order_release);
        } else {
            voice->position_ = pos;
            link = &voice->activeNext_;
        }
    }

    // Silence follows the focus with a ramp over the buffer, so it does not click.
    bool audible = !followFocus_.load(std::memory_order_relaxed) || MainWindowActive();
    float target = audible ? 1.0f : 0.0f;
    float gain = focusGain_;
    float step = (target - gain) / frames;
    const int channels = spec_.Channels;
    for (int i = 0; i < frames; ++i) {
        gain += step;
        float x = mix[i] * gain;
        // Peak limiter with instant attack: the gain drops just enough to keep the peak at full
        // scale and recovers over LimiterReleaseSeconds. Single clips reach it only with the
        // resampler's ringing around the flattened bursts of "Lose", a few percent for a moment.
        envelope_ = std::max(std::fabs(x), envelope_ * release_);
        if (envelope_ > 1.0f)
            x /= envelope_;
        else
            envelope_ = 0.0f; // below full scale it has no say; and it never decays into denormals
        for (int c = 0; c < channels; ++c)
            *out++ = x;
    }
    focusGain_ = target;
    framesRendered_.fetch_add(static_cast<std::uint64_t>(frames), std::memory_order_release);
}
