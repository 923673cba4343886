#include "platform/services/Audio.h"
#include "sound/DXSounds.h"
#include "sound/Mixer.h"

#include <algorithm>

namespace {
// A small buffer keeps a play within about 10 ms of its tick.
constexpr AudioSpec WantedSpec{48000, 2, 512};
} // namespace

TDXSound::TDXSound(TComponent* owner) : TComponent(owner) {}

TDXSound::~TDXSound()
{
    Finalize();
    // The lists also hear of our end through Notification; this makes sure of it even for a list
    // that never asked.
    for (TDXWaveList* list : lists_)
        list->dxSound_ = nullptr;
    lists_.clear();
}

void TDXSound::SetOptions(TDXSoundOptions options)
{
    options_ = options;
    if (mixer_)
        mixer_->SetFollowFocus(!options_.Contains(TDXSoundOption::soGlobalFocus) &&
                               !options_.Contains(TDXSoundOption::soStickyFocus));
}

void TDXSound::Loaded()
{
    TComponent::Loaded();
    if (autoInitialize_ && !IsDesigning())
        Initialize();
}

bool TDXSound::Initialize()
{
    if (mixer_)
        return true;
    if (tried_)
        return false;
    tried_ = true;
    if (OnInitializing)
        OnInitializing(this);

    std::unique_ptr<AudioOutput> output;
    try {
        AudioSystem* system = CurrentAudioSystem();
        if (system == nullptr)
            return false;
        // The output stays silent until Start(), so the callback never sees mixer_ unset.
        output = system->Open(WantedSpec, [this](float* out, int frames) { mixer_->Render(out, frames); });
        if (!output)
            return false;
        mixer_ = std::make_unique<Mixer>(output->Spec());
        SetOptions(options_);
        for (TDXWaveList* list : lists_)
            list->DeviceOpened(*mixer_);
        output->Start();
        output_ = std::move(output);
    } catch (...) {
        // No device, no sound, and no word about it: the game plays on silently.
        output.reset();
        for (TDXWaveList* list : lists_)
            list->DeviceClosed();
        mixer_.reset();
        return false;
    }
    if (OnInitialize)
        OnInitialize(this);
    return true;
}

void TDXSound::Finalize()
{
    if (!mixer_)
        return;
    if (OnFinalize)
        OnFinalize(this);
    // The output first: once it has closed, no callback reads the copies released below.
    output_.reset();
    for (TDXWaveList* list : lists_)
        list->DeviceClosed();
    mixer_.reset();
}

void TDXSound::Notification(TComponent* component, TOperation operation)
{
    TComponent::Notification(component, operation);
    if (operation == TOperation::opRemove)
        lists_.erase(std::remove_if(lists_.begin(), lists_.end(),
                                    [component](TDXWaveList* l) { return static_cast<TComponent*>(l) == component; }),
                     lists_.end());
}

void TDXSound::AddList(TDXWaveList* list)
{
    if (std::find(lists_.begin(), lists_.end(), list) == lists_.end())
        lists_.push_back(list);
}

void TDXSound::RemoveList(TDXWaveList* list)
{
    lists_.erase(std::remove(lists_.begin(), lists_.end(), list), lists_.end());
}
