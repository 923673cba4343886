#include "sound/BuiltinClips.h"
#include "sound/DXSounds.h"
#include "sound/Mixer.h"

#include <chrono>
#include <thread>

namespace {

char Fold(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Names are compared without regard to the case of ASCII letters, without allocating: the
// lookup runs inside every play.
bool SameName(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Fold(a[i]) != Fold(b[i]))
            return false;
    return true;
}

} // namespace

// --- TWaveCollectionItem ---

void TWaveCollectionItem::SetWave(TWave wave)
{
    wave_ = std::move(wave);
    if (restored_) {
        // Copies of the old clip play to their end on their own buffer, which the mixer keeps.
        Mixer* mixer = collection_->Owner().OpenMixer();
        copies_.clear();
        buffer_ = nullptr;
        if (mixer != nullptr)
            buffer_ = mixer->MakeBuffer(wave_);
    }
}

void TWaveCollectionItem::Restore(Mixer& mixer)
{
    copies_.clear();
    buffer_ = mixer.MakeBuffer(wave_);
    restored_ = true;
}

void TWaveCollectionItem::Release()
{
    restored_ = false;
    buffer_ = nullptr;
    copies_.clear();
}

void TWaveCollectionItem::PlayWave(bool wait)
{
    ++playCount_;
    Mixer* mixer = collection_->Owner().OpenMixer();
    if (mixer == nullptr || !restored_)
        return;
    if (buffer_ == nullptr)
        throw EDirectSoundBufferError("サウンドバッファ を作成できません");

    SoundVoice* chosen = nullptr;
    for (SoundVoice* copy : copies_) {
        if (mixer->Start(*copy, looped_)) {
            chosen = copy;
            break;
        }
    }
    if (chosen == nullptr) {
        if (maxPlayingCount_ > 0 && CopyCount() >= maxPlayingCount_)
            return;
        // Only a refused copy fails the play; nothing of it is kept, so the next play tries anew.
        SoundVoice* copy = mixer->MakeVoice(*buffer_);
        if (copy == nullptr)
            throw EDirectSoundBufferError("IDirectSoundBuffer は作成されていません");
        copies_.push_back(copy);
        mixer->Start(*copy, looped_);
        chosen = copy;
    }
    if (wait && !looped_) {
        // A device that stalls (suspended by the system) must not hold the caller for ever: the
        // wait ends a second after the clip should have.
        auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(wave_.Duration() + 1.0);
        while (chosen->Sounding() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void TWaveCollectionItem::Stop()
{
    Mixer* mixer = collection_->Owner().OpenMixer();
    if (mixer == nullptr || !restored_)
        return;
    for (SoundVoice* copy : copies_)
        mixer->Stop(*copy);
}

bool TWaveCollectionItem::CopySounding(int index) const
{
    return copies_.at(static_cast<std::size_t>(index))->Sounding();
}

// --- TWaveCollection ---

TWaveCollectionItem& TWaveCollection::Add()
{
    items_.push_back(std::make_unique<TWaveCollectionItem>(*this));
    TWaveCollectionItem& item = *items_.back();
    if (Mixer* mixer = owner_->OpenMixer())
        item.Restore(*mixer);
    return item;
}

void TWaveCollection::Delete(int index)
{
    Items(index); // range check
    items_.erase(items_.begin() + index);
}

void TWaveCollection::Clear()
{
    items_.clear();
}

int TWaveCollection::IndexOf(const std::string& name) const
{
    for (int i = Count() - 1; i >= 0; --i)
        if (SameName(items_[static_cast<std::size_t>(i)]->Name(), name))
            return i;
    return -1;
}

TWaveCollectionItem& TWaveCollection::FindWave(const std::string& name) const
{
    int index = IndexOf(name);
    if (index < 0)
        throw EWaveCollectionError("Wave '" + name + "' が見つかりません");
    return *items_[static_cast<std::size_t>(index)];
}

// --- TDXWaveList ---

TDXWaveList::TDXWaveList(TComponent* owner) : TComponent(owner), items_(*this) {}

TDXWaveList::~TDXWaveList()
{
    if (dxSound_ != nullptr)
        dxSound_->RemoveList(this);
    dxSound_ = nullptr;
}

void TDXWaveList::SetDXSound(TDXSound* sound)
{
    if (sound == dxSound_)
        return;
    if (dxSound_ != nullptr) {
        dxSound_->RemoveList(this);
        DeviceClosed();
    }
    dxSound_ = sound;
    if (sound != nullptr) {
        // So that we hear of the device's end and never play through a released one.
        FreeNotification(sound);
        sound->AddList(this);
        if (Mixer* mixer = sound->SoundMixer())
            DeviceOpened(*mixer);
    }
}

void TDXWaveList::Notification(TComponent* component, TOperation operation)
{
    TComponent::Notification(component, operation);
    if (operation == TOperation::opRemove && component == dxSound_) {
        DeviceClosed();
        dxSound_ = nullptr;
    }
}

void TDXWaveList::DeviceOpened(Mixer& mixer)
{
    for (int i = 0; i < items_.Count(); ++i)
        items_.Items(i).Restore(mixer);
}

void TDXWaveList::DeviceClosed()
{
    for (int i = 0; i < items_.Count(); ++i)
        items_.Items(i).Release();
}

Mixer* TDXWaveList::OpenMixer() const
{
    return dxSound_ != nullptr ? dxSound_->SoundMixer() : nullptr;
}

void AddBuiltinClips(TDXWaveList& list)
{
    for (const TBuiltinClip& clip : BuiltinClips()) {
        TWave wave;
        wave.LoadFromMemory(clip.File);
        TWaveCollectionItem& item = list.Items().Add();
        item.SetName(std::string(clip.Name));
        item.SetWave(std::move(wave));
    }
}
