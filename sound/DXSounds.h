#pragma once

#include "platform/core/Component.h"
#include "sound/Wave.h"

#include <memory>
#include <string>
#include <vector>

class AudioOutput;
class Mixer;
class SoundBuffer;
class SoundVoice;
class TDXWaveList;

ZIM_DECLARE_EXCEPTION(EDirectSoundBufferError, Exception);
ZIM_DECLARE_EXCEPTION(EWaveCollectionError, Exception);

enum class TDXSoundOption : unsigned {
    soGlobalFocus = 1u << 0, // keep sounding while another window is active
    soStickyFocus = 1u << 1, // the same, for our purposes
    soExclusive = 1u << 2,   // exclusive use of the device: not needed by a shared mixer
};

class TDXSoundOptions {
  public:
    TDXSoundOptions() = default;
    TDXSoundOptions(std::initializer_list<TDXSoundOption> options)
    {
        for (auto o : options)
            bits_ |= static_cast<unsigned>(o);
    }
    bool Contains(TDXSoundOption o) const { return (bits_ & static_cast<unsigned>(o)) != 0; }
    bool Empty() const { return bits_ == 0; }
    friend bool operator==(TDXSoundOptions, TDXSoundOptions) = default;

  private:
    unsigned bits_ = 0;
};

// The sound device. With AutoInitialize it opens the default output at the end of loading its
// owner; when there is no device it gives up without a word and every play does nothing. It
// closes when it is destroyed, before the clip lists that play through it are told it is gone.
class TDXSound : public TComponent {
  public:
    explicit TDXSound(TComponent* owner);
    ~TDXSound() override;

    bool AutoInitialize() const { return autoInitialize_; }
    void SetAutoInitialize(bool value) { autoInitialize_ = value; }
    TDXSoundOptions Options() const { return options_; }
    void SetOptions(TDXSoundOptions options);

    TNotifyEvent OnInitializing, OnInitialize, OnFinalize, OnRestore;

    void Loaded() override;
    // Opens the device; true when it is open. Any failure leaves it closed, silently, and the
    // device is not tried again.
    bool Initialize();
    // Closes the device: plays stop, every copy and device buffer is released.
    void Finalize();
    bool Initialized() const { return mixer_ != nullptr; }

    // The open device's mixer; nullptr while closed.
    Mixer* SoundMixer() const { return mixer_.get(); }

    void Notification(TComponent* component, TOperation operation) override;

  private:
    friend class TDXWaveList;
    void AddList(TDXWaveList* list);
    void RemoveList(TDXWaveList* list);

    bool autoInitialize_ = true;
    TDXSoundOptions options_;
    bool tried_ = false;
    std::unique_ptr<Mixer> mixer_;
    std::unique_ptr<AudioOutput> output_;
    std::vector<TDXWaveList*> lists_;
};

class TWaveCollection;

// A named clip of a clip list, with its copies on the open device.
class TWaveCollectionItem {
  public:
    explicit TWaveCollectionItem(TWaveCollection& collection) : collection_(&collection) {}
    TWaveCollectionItem(const TWaveCollectionItem&) = delete;
    TWaveCollectionItem& operator=(const TWaveCollectionItem&) = delete;

    const std::string& Name() const { return name_; }
    void SetName(std::string name) { name_ = std::move(name); }
    bool Looped() const { return looped_; }
    void SetLooped(bool looped) { looped_ = looped; }
    // The most copies that may sound at once; 0 is no limit. A play beyond it is dropped.
    int MaxPlayingCount() const { return maxPlayingCount_; }
    void SetMaxPlayingCount(int count) { maxPlayingCount_ = count < 0 ? 0 : count; }
    const TWave& Wave() const { return wave_; }
    void SetWave(TWave wave);

    // Starts the clip from its beginning on the first copy that is not sounding, or on a new
    // copy sharing the clip's samples; returns at once, or with `wait` once that play has ended
    // (at most a second after it should have). Does nothing while the device is closed.
    void PlayWave(bool wait);
    // Ends every copy of the clip at the next device buffer (how a looped clip is ended).
    void Stop();

    // The copies made so far on the open device, in the order they were made.
    int CopyCount() const { return static_cast<int>(copies_.size()); }
    // How many times PlayWave was called, heard or not: what rule tests look at.
    int PlayCount() const { return playCount_; }
    bool CopySounding(int index) const;

  private:
    friend class TDXWaveList;
    friend class TWaveCollection;
    void Restore(Mixer& mixer);
    void Release();

    TWaveCollection* collection_;
    std::string name_;
    bool looped_ = false;
    int maxPlayingCount_ = 0;
    int playCount_ = 0;
    TWave wave_;
    bool restored_ = false; // made ready on the open device
    const SoundBuffer* buffer_ = nullptr;
    std::vector<SoundVoice*> copies_;
};

// The ordered, named clips of a clip list.
class TWaveCollection {
  public:
    explicit TWaveCollection(TDXWaveList& owner) : owner_(&owner) {}
    TWaveCollection(const TWaveCollection&) = delete;
    TWaveCollection& operator=(const TWaveCollection&) = delete;

    TDXWaveList& Owner() const { return *owner_; }
    int Count() const { return static_cast<int>(items_.size()); }
    TWaveCollectionItem& Items(int index) const { return *items_.at(static_cast<std::size_t>(index)); }
    TWaveCollectionItem& Add();
    void Delete(int index);
    void Clear();

    // The item of that name, compared without regard to case; of two with one name, the later.
    // Throws EWaveCollectionError "Wave '%s' が見つかりません".
    TWaveCollectionItem& FindWave(const std::string& name) const;
    // The index of that item, or -1.
    int IndexOf(const std::string& name) const;

  private:
    TDXWaveList* owner_;
    std::vector<std::unique_ptr<TWaveCollectionItem>> items_;
};

// The clip list: named clips that play through a sound device.
class TDXWaveList : public TComponent {
  public:
    explicit TDXWaveList(TComponent* owner);
    ~TDXWaveList() override;

    TDXSound* DXSound() const { return dxSound_; }
    void SetDXSound(TDXSound* sound);
    TWaveCollection& Items() { return items_; }
    const TWaveCollection& Items() const { return items_; }

    void Notification(TComponent* component, TOperation operation) override;

  private:
    friend class TDXSound;
    friend class TWaveCollectionItem;
    friend class TWaveCollection;
    void DeviceOpened(Mixer& mixer);
    void DeviceClosed();
    Mixer* OpenMixer() const;

    TDXSound* dxSound_ = nullptr;
    TWaveCollection items_;
};

// Fills a clip list with the game's three built-in clips, "count", "Hit" and "Lose", in that
// order, not looped and without a limit on copies.
void AddBuiltinClips(TDXWaveList& list);
