#include "platform/headless/HeadlessAudio.h"

class HeadlessAudioSystem::Output : public AudioOutput {
  public:
    Output(HeadlessAudioSystem& system, const AudioSpec& spec, AudioFill fill)
        : system_(system), spec_(spec), fill_(std::move(fill))
    {
        system_.open_ = this;
    }
    ~Output() override { system_.open_ = nullptr; }

    AudioSpec Spec() const override { return spec_; }
    void Start() override { started_ = true; }

    HeadlessAudioSystem& system_;
    AudioSpec spec_;
    AudioFill fill_;
    bool started_ = false;
};

HeadlessAudioSystem::HeadlessAudioSystem() = default;
HeadlessAudioSystem::~HeadlessAudioSystem() = default;

std::unique_ptr<AudioOutput> HeadlessAudioSystem::Open(const AudioSpec& wanted, AudioFill fill)
{
    if (!available_ || open_ != nullptr)
        return nullptr;
    ++openCount_;
    AudioSpec spec = deviceSpec_.Rate > 0 ? deviceSpec_ : wanted;
    return std::make_unique<Output>(*this, spec, std::move(fill));
}

AudioSpec HeadlessAudioSystem::Spec() const
{
    return open_ != nullptr ? open_->spec_ : AudioSpec{};
}

std::vector<float> HeadlessAudioSystem::Pull(int frames)
{
    int channels = open_ != nullptr ? open_->spec_.Channels : 1;
    std::vector<float> out(static_cast<std::size_t>(frames) * channels, 0.0f);
    if (open_ != nullptr && open_->started_ && frames > 0)
        open_->fill_(out.data(), frames);
    recorded_.insert(recorded_.end(), out.begin(), out.end());
    return out;
}

std::vector<float> HeadlessAudioSystem::PullBuffers(int buffers)
{
    int frames = open_ != nullptr ? open_->spec_.Frames : 512;
    return Pull(frames * buffers);
}
