#pragma once

#include "platform/services/Audio.h"

#include <vector>

// An audio system for deterministic tests: the output has exactly the format asked for (or the
// one a test sets), and it sounds nothing by itself. A test pulls buffers from it, which calls
// the fill function on the test's thread, and reads everything pulled so far.
class HeadlessAudioSystem : public AudioSystem {
  public:
    HeadlessAudioSystem();
    ~HeadlessAudioSystem() override;

    // Pretends there is no sound device: Open gives nullptr.
    void SetAvailable(bool available) { available_ = available; }
    // The format the device gives instead of the one asked for; Rate 0 gives what is asked.
    void SetDeviceSpec(const AudioSpec& spec) { deviceSpec_ = spec; }

    std::unique_ptr<AudioOutput> Open(const AudioSpec& wanted, AudioFill fill) override;

    int OpenCount() const { return openCount_; }
    bool IsOpen() const { return open_ != nullptr; }
    // The open output's format; the default spec while closed.
    AudioSpec Spec() const;

    // Asks the open, started output for `frames` frames and gives them (interleaved); silence
    // when it is closed or not started. Everything pulled is also kept in Recorded().
    std::vector<float> Pull(int frames);
    // Pulls whole device buffers.
    std::vector<float> PullBuffers(int buffers);
    const std::vector<float>& Recorded() const { return recorded_; }
    void ClearRecorded() { recorded_.clear(); }

  private:
    class Output;
    friend class Output;

    bool available_ = true;
    AudioSpec deviceSpec_{0, 0, 0};
    int openCount_ = 0;
    Output* open_ = nullptr;
    std::vector<float> recorded_;
};
