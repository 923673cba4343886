#pragma once

#include "platform/services/TimerService.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

// A timer service for deterministic tests: time stands still until the test advances it. Due
// events fire on the advancing thread in deadline order (equal deadlines in creation order), each
// under the UI lock, and a periodic event is rescheduled from its deadline, so an event started
// from inside a tick gets its first call one full delay after that tick's deadline.
//
// Install with SetTimerService(&clock); the clock uninstalls itself when destroyed.
class ManualClock final : public TimerService {
public:
    struct ActiveEvent {
        std::uint32_t id;
        std::uint32_t periodMs;
        std::uint64_t nextDeadlineMs;
    };

    ManualClock() = default;
    ~ManualClock() override;
    ManualClock(const ManualClock&) = delete;
    ManualClock& operator=(const ManualClock&) = delete;

    std::uint32_t SetEvent(std::uint32_t delayMs, std::uint32_t resolutionMs, TimerCallbackFn callback,
                           std::uintptr_t user, std::uint32_t flags) override;
    void KillEvent(std::uint32_t id) override;

    std::uint64_t Now() const;
    // Moves the clock forward, firing every event that falls due on the way.
    void Advance(std::uint64_t ms);
    // While set, SetEvent refuses (gives 0), as a service with no timer left would.
    void SetRefuse(bool refuse);
    // The registered events in creation order.
    std::vector<ActiveEvent> ActiveEvents() const;
    // The lines reported for errors that escaped a tick (also written to stderr).
    std::vector<std::string> TickErrors() const;

private:
    struct Event {
        std::uint32_t id;
        std::uint32_t periodMs;
        bool periodic;
        std::uint64_t deadlineMs;
        TimerCallbackFn callback;
        std::uintptr_t user;
    };

    mutable std::mutex mutex_;
    std::vector<Event> events_;  // in creation order
    std::uint64_t now_ = 0;
    std::uint32_t lastId_ = 0;
    bool refuse_ = false;
    std::vector<std::string> tickErrors_;
};
