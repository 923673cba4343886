#include "platform/headless/ManualClock.h"

#include "platform/core/UILock.h"
#include "platform/services/TickError.h"

#include <algorithm>
#include <optional>

ManualClock::~ManualClock()
{
    if (&CurrentTimerService() == this)
        SetTimerService(nullptr);
}

std::uint32_t ManualClock::SetEvent(std::uint32_t delayMs, std::uint32_t /*resolutionMs*/, TimerCallbackFn callback,
                                    std::uintptr_t user, std::uint32_t flags)
{
    std::lock_guard lock(mutex_);
    if (refuse_ || delayMs == 0 || callback == nullptr)
        return 0;
    do {
        ++lastId_;
    } while (lastId_ == 0 ||
             std::any_of(events_.begin(), events_.end(), [&](const Event& e) { return e.id == lastId_; }));
    events_.push_back({lastId_, delayMs, (flags & TIME_PERIODIC) != 0, now_ + delayMs, callback, user});
    return lastId_;
}

void ManualClock::KillEvent(std::uint32_t id)
{
    std::lock_guard lock(mutex_);
    std::erase_if(events_, [id](const Event& e) { return e.id == id; });
}

std::uint64_t ManualClock::Now() const
{
    std::lock_guard lock(mutex_);
    return now_;
}

void ManualClock::Advance(std::uint64_t ms)
{
    std::unique_lock lock(mutex_);
    const std::uint64_t target = now_ + ms;
    for (;;) {
        // The first event in creation order among those with the earliest deadline.
        auto due = std::min_element(events_.begin(), events_.end(),
                                    [](const Event& a, const Event& b) { return a.deadlineMs < b.deadlineMs; });
        if (due == events_.end() || due->deadlineMs > target)
            break;
        now_ = due->deadlineMs;
        Event fired = *due;
        if (fired.periodic)
            due->deadlineMs += fired.periodMs;
        else
            events_.erase(due);
        lock.unlock();
        {
            // The test may already hold the UI lock, standing in for the window thread.
            std::optional<UIGuard> guard;
            if (!UILock::HeldByThisThread())
                guard.emplace();
            try {
                fired.callback(fired.id, 0, fired.user, 0, 0);
            } catch (...) {
                std::string line = CurrentTickErrorLine();
                ReportTickErrorLine(line);
                std::lock_guard errors(mutex_);
                tickErrors_.push_back(std::move(line));
            }
        }
        lock.lock();
    }
    now_ = target;
}

void ManualClock::SetRefuse(bool refuse)
{
    std::lock_guard lock(mutex_);
    refuse_ = refuse;
}

std::vector<ManualClock::ActiveEvent> ManualClock::ActiveEvents() const
{
    std::lock_guard lock(mutex_);
    std::vector<ActiveEvent> active;
    for (const Event& e : events_)
        active.push_back({e.id, e.periodMs, e.deadlineMs});
    return active;
}

std::vector<std::string> ManualClock::TickErrors() const
{
    std::lock_guard lock(mutex_);
    return tickErrors_;
}
