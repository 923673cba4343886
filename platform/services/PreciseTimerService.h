#pragma once

#include "platform/services/TimerService.h"

#include <climits>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

// The real timer service. One thread sleeps to absolute deadlines on CLOCK_MONOTONIC (a timerfd),
// and each event's next deadline is its previous one plus the period, never "now plus the
// period": a late tick is followed by an early one and the game keeps its speed. An event that
// falls several periods behind (the machine stalled) skips ahead on its own grid instead of
// firing the missed ticks in a burst.
//
// The kernel wakes a sleeper tens of microseconds late, and by a different amount each time (more
// so in a virtual machine). The thread therefore sleeps to a little before the deadline, by the
// wake-up latency that nine wakes in ten stay under (learnt as it goes, at most 250 us), and
// spins the rest: most ticks land on their deadline, for a few tens of microseconds of spinning.
//
// Each callback runs under the UI lock, after checking under that lock that its event is still
// registered, so a cancelled event is never called back. KillEvent never deadlocks: it may be
// called with the UI lock held, or from inside any tick. Called from another thread while the
// event's callback runs, it waits for that callback to end. An error escaping a callback stops
// that tick only; it is reported on stderr in one line.
//
// The service must not be destroyed from inside one of its own ticks.
class PreciseTimerService final : public TimerService {
public:
    PreciseTimerService();
    ~PreciseTimerService() override;
    PreciseTimerService(const PreciseTimerService&) = delete;
    PreciseTimerService& operator=(const PreciseTimerService&) = delete;

    std::uint32_t SetEvent(std::uint32_t delayMs, std::uint32_t resolutionMs, TimerCallbackFn callback,
                           std::uintptr_t user, std::uint32_t flags) override;
    void KillEvent(std::uint32_t id) override;

    // How far an event may fall behind before it gives up the missed ticks instead of catching up.
    static constexpr std::int64_t kCatchUpPeriods = 4;
    // The deadline after one that fired at `nowNs`: the next on the event's grid, or, when that
    // is more than kCatchUpPeriods behind, the first on the grid after `nowNs`.
    static std::int64_t NextDeadline(std::int64_t deadlineNs, std::int64_t periodNs, std::int64_t nowNs);

    static constexpr std::int64_t kMaxWakeLeadNs = 250'000;
    // The wake lead after a wake `latencyNs` late: tracks the latency's 90th percentile.
    static std::int64_t NextWakeLead(std::int64_t leadNs, std::int64_t latencyNs);

    // Stops the thread for good; events stay registered but are never called again. The process's
    // own service does this at exit, before the objects its ticks touch are gone.
    void Shutdown();

private:
    struct Event {
        std::uint32_t id = 0;  // 0: a free slot
        bool periodic = false;
        bool fired = false;  // a one-shot whose call is under way
        std::int64_t periodNs = 0;
        std::int64_t deadlineNs = 0;
        std::uint64_t order = 0;  // creation order breaks ties between equal deadlines
        TimerCallbackFn callback = nullptr;
        std::uintptr_t user = 0;
    };

    void Run();
    Event* Find(std::uint32_t id);
    Event* Earliest();
    std::uint32_t NextId();
    void Wake();
    void CloseFds();

    std::mutex mutex_;
    std::condition_variable callbackEnded_;
    std::vector<Event> events_;
    std::uint32_t lastId_ = 0;
    std::uint64_t created_ = 0;
    std::uint32_t runningId_ = 0;  // the event whose callback runs now, set under the UI lock
    bool stopping_ = false;
    bool started_ = false;
    std::int64_t armedNs_ = INT64_MAX;  // the time the timerfd is set to
    std::int64_t wakeLeadNs_ = 0;       // how long before a deadline the timerfd is set
    std::thread thread_;
    std::thread::id threadId_;
    int timerFd_ = -1;
    int wakeFd_ = -1;
};
