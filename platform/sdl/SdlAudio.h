#pragma once

#include "platform/services/Audio.h"

// The audio system on SDL2's default output device. InstallSdlAudio() makes it the process's
// audio system; the device itself is opened only when the sound device asks for it.
class SdlAudioSystem : public AudioSystem {
  public:
    std::unique_ptr<AudioOutput> Open(const AudioSpec& wanted, AudioFill fill) override;
};

void InstallSdlAudio();
