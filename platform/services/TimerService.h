#pragma once

#include <cstdint>

// The periodic timer service the game's timers run on, shaped like the multimedia timer pair
// timeSetEvent / timeKillEvent. Callbacks run on the service's own thread (or, on the headless
// backend, on the thread that advances the manual clock), always under the UI lock, and never
// after timeKillEvent has returned for their event.
using TimerCallbackFn = void (*)(std::uint32_t id, std::uint32_t msg, std::uintptr_t user,
                                 std::uintptr_t reserved1, std::uintptr_t reserved2);

inline constexpr std::uint32_t TIME_ONESHOT = 0;
inline constexpr std::uint32_t TIME_PERIODIC = 1;

class TimerService {
public:
    virtual ~TimerService() = default;
    // Starts a periodic (or one-shot) event: the first call comes one full delay from now.
    // Gives a non-zero identifier, or 0 when the service refuses.
    virtual std::uint32_t SetEvent(std::uint32_t delayMs, std::uint32_t resolutionMs, TimerCallbackFn callback,
                                   std::uintptr_t user, std::uint32_t flags) = 0;
    // Cancels an event; unknown identifiers are ignored.
    virtual void KillEvent(std::uint32_t id) = 0;
};

// The service the process uses; the backend installs it (the real one unless a test chose another).
TimerService& CurrentTimerService();
void SetTimerService(TimerService* service);  // nullptr restores the real service

std::uint32_t timeSetEvent(std::uint32_t delay, std::uint32_t resolution, TimerCallbackFn callback,
                           std::uintptr_t user, std::uint32_t flags);
void timeKillEvent(std::uint32_t id);
