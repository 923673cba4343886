#include "platform/sdl/SdlAudio.h"

#include <SDL.h>

namespace {

class SdlAudioOutput : public AudioOutput {
  public:
    explicit SdlAudioOutput(AudioFill fill) : fill_(std::move(fill)) {}

    ~SdlAudioOutput() override
    {
        // SDL_CloseAudioDevice waits for a running callback and calls no other.
        if (device_ != 0)
            SDL_CloseAudioDevice(device_);
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }

    bool Open(const AudioSpec& wanted)
    {
        SDL_AudioSpec want{};
        want.freq = wanted.Rate;
        want.format = AUDIO_F32SYS;
        want.channels = static_cast<Uint8>(wanted.Channels);
        want.samples = static_cast<Uint16>(wanted.Frames);
        want.callback = &SdlAudioOutput::Callback;
        want.userdata = this;
        SDL_AudioSpec have{};
        // The device keeps its own rate, which our mixer follows, so that SDL does not resample
        // a second time. Channels stay stereo: SDL maps them onto any other layout, keeping the
        // clips centred on the front pair.
        device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, SDL_AUDIO_ALLOW_FREQUENCY_CHANGE);
        if (device_ == 0)
            return false;
        spec_ = AudioSpec{have.freq, have.channels, have.samples};
        return true;
    }

    AudioSpec Spec() const override { return spec_; }
    void Start() override { SDL_PauseAudioDevice(device_, 0); }

  private:
    static void SDLCALL Callback(void* user, Uint8* stream, int bytes)
    {
        auto* self = static_cast<SdlAudioOutput*>(user);
        int frames = bytes / static_cast<int>(sizeof(float) * self->spec_.Channels);
        self->fill_(reinterpret_cast<float*>(stream), frames);
    }

    AudioFill fill_;
    AudioSpec spec_;
    SDL_AudioDeviceID device_ = 0;
};

} // namespace

std::unique_ptr<AudioOutput> SdlAudioSystem::Open(const AudioSpec& wanted, AudioFill fill)
{
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
        return nullptr;
    // From here the output's destructor balances the subsystem count.
    auto output = std::make_unique<SdlAudioOutput>(std::move(fill));
    if (!output->Open(wanted))
        return nullptr;
    return output;
}

void InstallSdlAudio()
{
    static SdlAudioSystem system;
    SetAudioSystem(&system);
}
