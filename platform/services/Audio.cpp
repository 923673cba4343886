#include "platform/services/Audio.h"

#include <atomic>

namespace {
std::atomic<AudioSystem*> current{nullptr};
}

AudioSystem* CurrentAudioSystem()
{
    return current.load(std::memory_order_acquire);
}
void SetAudioSystem(AudioSystem* system)
{
    current.store(system, std::memory_order_release);
}
