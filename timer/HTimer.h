#pragma once

#include "platform/core/Component.h"
#include "platform/core/Exception.h"

#include <cstdint>

ZIM_DECLARE_EXCEPTION(EHITimerError, Exception);

// A component that calls OnTimer every Interval milliseconds, on the timer service's thread.
//
// Ticks and window-thread work are kept apart by the UI lock: the service holds it around each
// tick, and the window thread holds it around each message it dispatches. The setters, the end
// of loading and the destructor take it themselves when called without it, so a timer can also
// be driven or destroyed from outside a dispatch; the getters are meant to be read under it.
class THITimer : public TComponent {
public:
    static constexpr bool DefaultEnabled = true;
    static constexpr std::uint32_t DefaultInterval = 10;

    explicit THITimer(TComponent* owner);
    ~THITimer() override;

    bool Enabled() const { return enabled_; }
    void SetEnabled(bool value);
    std::uint32_t Interval() const { return interval_; }
    void SetInterval(std::uint32_t value);
    const TNotifyEvent& OnTimer() const { return onTimer_; }
    void SetOnTimer(TNotifyEvent handler);

    // The event held at the timer service; 0 while the timer holds none.
    std::uint32_t TimerID() const { return timerID_; }

    void Loaded() override;
    virtual void Tick();

protected:
    static void TimerCallback(std::uint32_t id, std::uint32_t msg, std::uintptr_t user, std::uintptr_t reserved1,
                              std::uintptr_t reserved2);
    void RestartTimer();

private:
    std::uint32_t timerID_ = 0;
    std::uint32_t interval_ = 0;
    TNotifyEvent onTimer_;
    bool enabled_ = false;
};
