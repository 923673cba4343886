#include "timer/HTimer.h"

#include "platform/core/UILock.h"
#include "platform/services/TimerService.h"

#include <optional>

namespace {

// The UI lock for a timer operation made outside a dispatch or a tick (a test, the program's
// end); inside them this thread already holds it.
class UIGuardUnlessHeld {
public:
    UIGuardUnlessHeld()
    {
        if (!UILock::HeldByThisThread())
            guard_.emplace();
    }

private:
    std::optional<UIGuard> guard_;
};

}  // namespace

THITimer::THITimer(TComponent* owner) : TComponent(owner)
{
    enabled_ = DefaultEnabled;
    interval_ = DefaultInterval;
}

THITimer::~THITimer()
{
    // Holding the UI lock, the event is cancelled between ticks: no tick is running, and none
    // reaches this timer afterwards.
    UIGuardUnlessHeld lock;
    enabled_ = false;
    RestartTimer();
}

void THITimer::SetEnabled(bool value)
{
    UIGuardUnlessHeld lock;
    if (value == enabled_)
        return;
    enabled_ = value;
    RestartTimer();
}

void THITimer::SetInterval(std::uint32_t value)
{
    UIGuardUnlessHeld lock;
    if (value == interval_)
        return;
    interval_ = value;
    RestartTimer();
}

void THITimer::SetOnTimer(TNotifyEvent handler)
{
    UIGuardUnlessHeld lock;
    onTimer_ = std::move(handler);
}

void THITimer::Loaded()
{
    UIGuardUnlessHeld lock;
    TComponent::Loaded();
    RestartTimer();
}

void THITimer::Tick()
{
    if (onTimer_)
        onTimer_(this);
}

void THITimer::TimerCallback(std::uint32_t /*id*/, std::uint32_t /*msg*/, std::uintptr_t user,
                             std::uintptr_t /*reserved1*/, std::uintptr_t /*reserved2*/)
{
    reinterpret_cast<THITimer*>(user)->Tick();
}

void THITimer::RestartTimer()
{
    if (timerID_ != 0) {
        timeKillEvent(timerID_);
        timerID_ = 0;
    }
    if (!enabled_)
        return;
    if (interval_ == 0)
        return;
    if (!onTimer_)
        return;
    timerID_ = timeSetEvent(interval_, interval_, &THITimer::TimerCallback, reinterpret_cast<std::uintptr_t>(this),
                            TIME_PERIODIC);
    if (timerID_ == 0)
        throw EHITimerError("No timer available");
}
