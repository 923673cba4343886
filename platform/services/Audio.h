#pragma once

#include <functional>
#include <memory>

// The sound output the game's sound device plays through. A backend opens the default output
// with a wanted format and a small buffer, and calls the fill function on its own audio thread
// with a buffer of interleaved float frames, each sample in -1..1.

struct AudioSpec {
    int Rate = 48000; // frames per second
    int Channels = 2;
    int Frames = 512; // frames per device buffer, which is also the longest delay of a play
};

// Fills `frames` frames at `out` (frames * channels floats). Runs on the audio thread: it must not
// block, lock for long or allocate.
using AudioFill = std::function<void(float* out, int frames)>;

// An open output. It stays silent until Start(); from then on the fill function may be called at
// any moment, until the destructor, which closes the output and returns only once no call of the
// fill function is running or can start.
class AudioOutput {
  public:
    virtual ~AudioOutput() = default;
    // The format the device really has, which may differ from the one asked for.
    virtual AudioSpec Spec() const = 0;
    virtual void Start() = 0;
};

class AudioSystem {
  public:
    virtual ~AudioSystem() = default;
    // Opens the default output, or gives nullptr when there is none or it refuses.
    virtual std::unique_ptr<AudioOutput> Open(const AudioSpec& wanted, AudioFill fill) = 0;
};

// The audio system the process uses, installed by the backend; nullptr when there is none, which
// the sound device takes as "no sound device".
AudioSystem* CurrentAudioSystem();
void SetAudioSystem(AudioSystem* system);
