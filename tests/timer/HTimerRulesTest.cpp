// THITimer's rules on the manual clock: which operations start, stop or restart the periodic
// event, when the ticks come, and what a refusing service does to it.
#include "TestSupport.h"

#include "platform/headless/ManualClock.h"
#include "timer/HTimer.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace {

class TimerOnManualClock : public ::testing::Test {
protected:
    TimerOnManualClock() { SetTimerService(&clock); }
    ~TimerOnManualClock() override { SetTimerService(nullptr); }

    TNotifyEvent Counter()
    {
        return [this](TComponent* sender) {
            EXPECT_EQ(sender, timer.get());
            ++ticks;
        };
    }

    ManualClock clock;
    std::unique_ptr<THITimer> timer = std::make_unique<THITimer>(nullptr);
    int ticks = 0;
};

struct StateCase {
    const char* name;
    std::function<void(THITimer&, const TNotifyEvent&)> act;
    bool enabled;
    std::uint32_t interval;
    std::optional<std::uint32_t> runningPeriod;  // nullopt: idle
    int ticksInOneSecond;
};

const StateCase stateCases[] = {
    {"constructed", [](THITimer&, const TNotifyEvent&) {}, true, 10, std::nullopt, 0},
    {"handler assigned", [](THITimer& t, const TNotifyEvent& h) { t.SetOnTimer(h); }, true, 10, std::nullopt, 0},
    {"handler then end of loading",
     [](THITimer& t, const TNotifyEvent& h) {
         t.SetOnTimer(h);
         t.Loaded();
     },
     true, 10, 10, 100},
    {"end of loading without handler", [](THITimer& t, const TNotifyEvent&) { t.Loaded(); }, true, 10, std::nullopt, 0},
    {"interval changed after handler",
     [](THITimer& t, const TNotifyEvent& h) {
         t.SetOnTimer(h);
         t.SetInterval(25);
     },
     true, 25, 25, 40},
    {"interval changed before handler",
     [](THITimer& t, const TNotifyEvent& h) {
         t.SetInterval(25);
         t.SetOnTimer(h);
     },
     true, 25, std::nullopt, 0},
    {"interval set to its own value",
     [](THITimer& t, const TNotifyEvent& h) {
         t.SetOnTimer(h);
         t.SetInterval(10);
         t.SetEnabled(true);
     },
     true, 10, std::nullopt, 0},
    {"disabled",
     [](THITimer& t, const TNotifyEvent& h) {
         t.SetOnTimer(h);
         t.Loaded();
         t.SetEnabled(false);
     },
     false, 10, std::nullopt, 0},
    {"disabled and enabled again",
     [](THITimer& t, const TNotifyEvent& h) {
         t.SetOnTimer(h);
         t.Loaded();
         t.SetEnabled(false);
         t.SetEnabled(true);
     },
     true, 10, 10, 100},
    {"interval 0",
     [](THITimer& t, const TNotifyEvent& h) {
         t.SetOnTimer(h);
         t.Loaded();
         t.SetInterval(0);
     },
     true, 0, std::nullopt, 0},
    {"interval back from 0",
     [](THITimer& t, const TNotifyEvent& h) {
         t.SetOnTimer(h);
         t.SetInterval(0);
         t.SetInterval(20);
     },
     true, 20, 20, 50},
    {"handler cleared while running",
     [](THITimer& t, const TNotifyEvent& h) {
         t.SetOnTimer(h);
         t.Loaded();
         t.SetOnTimer(nullptr);
     },
     true, 10, 10, 0},
    {"setters while loading",
     [](THITimer& t, const TNotifyEvent& h) {
         t.Loading();
         t.SetOnTimer(h);
         t.SetInterval(20);
     },
     true, 20, 20, 50},
    {"stored step timer loaded",
     [](THITimer& t, const TNotifyEvent& h) {
         t.Loading();
         t.SetEnabled(false);
         t.SetInterval(15);
         t.SetOnTimer(h);
         t.Loaded();
     },
     false, 15, std::nullopt, 0},
    {"stored title timer loaded",
     [](THITimer& t, const TNotifyEvent& h) {
         t.Loading();
         t.SetInterval(500);
         t.SetOnTimer(h);
         t.Loaded();
     },
     true, 500, 500, 2},
};

class TimerState : public TimerOnManualClock, public ::testing::WithParamInterface<StateCase> {};

TEST_P(TimerState, PropertiesEventAndTicks)
{
    const StateCase& c = GetParam();
    c.act(*timer, Counter());

    EXPECT_EQ(timer->Enabled(), c.enabled);
    EXPECT_EQ(timer->Interval(), c.interval);
    auto events = clock.ActiveEvents();
    if (c.runningPeriod) {
        ASSERT_EQ(events.size(), 1u);
        EXPECT_EQ(events[0].id, timer->TimerID());
        EXPECT_EQ(events[0].periodMs, *c.runningPeriod);
        EXPECT_EQ(events[0].nextDeadlineMs, *c.runningPeriod);
    } else {
        EXPECT_TRUE(events.empty());
        EXPECT_EQ(timer->TimerID(), 0u);
    }
    clock.Advance(1000);
    EXPECT_EQ(ticks, c.ticksInOneSecond);

    timer.reset();
    EXPECT_TRUE(clock.ActiveEvents().empty());
}

INSTANTIATE_TEST_SUITE_P(Table, TimerState, ::testing::ValuesIn(stateCases),
                         [](const auto& info) { return CaseName(info.param.name); });

TEST_F(TimerOnManualClock, ConstructedWithDefaultsAndNoHandler)
{
    EXPECT_TRUE(timer->Enabled());
    EXPECT_EQ(timer->Interval(), 10u);
    EXPECT_FALSE(timer->OnTimer());
    EXPECT_EQ(timer->TimerID(), 0u);
}

struct RefusalCase {
    const char* name;
    std::function<void(THITimer&)> before;  // with the service still accepting
    std::function<void(THITimer&)> refused;
    bool enabled;
    std::uint32_t interval;
};

const RefusalCase refusalCases[] = {
    {"end of loading", [](THITimer&) {}, [](THITimer& t) { t.Loaded(); }, true, 10},
    {"interval change on a running timer", [](THITimer& t) { t.Loaded(); }, [](THITimer& t) { t.SetInterval(20); },
     true, 20},
    {"enabling", [](THITimer& t) { t.SetEnabled(false); }, [](THITimer& t) { t.SetEnabled(true); }, true, 10},
};

class TimerRefused : public TimerOnManualClock, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(TimerRefused, RaisesNoTimerAvailableAndKeepsTheNewValues)
{
    const RefusalCase& c = GetParam();
    timer->SetOnTimer(Counter());
    c.before(*timer);
    clock.SetRefuse(true);
    try {
        c.refused(*timer);
        FAIL() << "no error raised";
    } catch (const EHITimerError& e) {
        EXPECT_STREQ(e.ClassName(), "EHITimerError");
        EXPECT_EQ(e.Message(), "No timer available");
    }
    EXPECT_EQ(timer->Enabled(), c.enabled);
    EXPECT_EQ(timer->Interval(), c.interval);
    EXPECT_EQ(timer->TimerID(), 0u);
    EXPECT_TRUE(clock.ActiveEvents().empty());
    clock.Advance(100);
    EXPECT_EQ(ticks, 0);

    // A later restart that the service accepts brings the ticks back.
    clock.SetRefuse(false);
    timer->SetInterval(timer->Interval() + 5);
    clock.Advance(timer->Interval());
    EXPECT_EQ(ticks, 1);
}

INSTANTIATE_TEST_SUITE_P(Table, TimerRefused, ::testing::ValuesIn(refusalCases),
                         [](const auto& info) { return CaseName(info.param.name); });

// Every restart starts a fresh period; anything that is not a restart leaves the phase alone.
struct PhaseCase {
    const char* name;
    std::function<void(THITimer&)> at7ms;
    std::function<void(THITimer&)> inFirstTick;
    std::vector<std::uint64_t> ticks;  // the clock at each tick up to 40 ms
};

const auto nothing = [](THITimer&) {};

const PhaseCase phaseCases[] = {
    {"untouched", nothing, nothing, {10, 20, 30, 40}},
    {"interval changed", [](THITimer& t) { t.SetInterval(15); }, nothing, {22, 37}},
    {"interval set to its own value", [](THITimer& t) { t.SetInterval(10); }, nothing, {10, 20, 30, 40}},
    {"enabled set to its own value", [](THITimer& t) { t.SetEnabled(true); }, nothing, {10, 20, 30, 40}},
    {"handler replaced", [](THITimer& t) { t.SetOnTimer(t.OnTimer()); }, nothing, {10, 20, 30, 40}},
    {"disabled and enabled",
     [](THITimer& t) {
         t.SetEnabled(false);
         t.SetEnabled(true);
     },
     nothing,
     {17, 27, 37}},
    {"interval shortened in its own tick",
     nothing,
     [](THITimer& t) { t.SetInterval(4); },
     {10, 14, 18, 22, 26, 30, 34, 38}},
    {"interval lengthened in its own tick", nothing, [](THITimer& t) { t.SetInterval(25); }, {10, 35}},
    {"interval set to its own value in its own tick",
     nothing,
     [](THITimer& t) { t.SetInterval(10); },
     {10, 20, 30, 40}},
    {"disabled in its own tick", nothing, [](THITimer& t) { t.SetEnabled(false); }, {10}},
    {"disabled and enabled in its own tick",
     nothing,
     [](THITimer& t) {
         t.SetEnabled(false);
         t.SetInterval(6);
         t.SetEnabled(true);
     },
     {10, 16, 22, 28, 34, 40}},
};

class TimerPhase : public TimerOnManualClock, public ::testing::WithParamInterface<PhaseCase> {};

TEST_P(TimerPhase, NextTickComesOneFullIntervalAfterARestart)
{
    const PhaseCase& c = GetParam();
    std::vector<std::uint64_t> seen;
    timer->SetOnTimer([&](TComponent*) {
        seen.push_back(clock.Now());
        if (seen.size() == 1)
            c.inFirstTick(*timer);
    });
    timer->Loaded();
    clock.Advance(7);
    c.at7ms(*timer);
    clock.Advance(33);
    EXPECT_EQ(seen, c.ticks);
}

INSTANTIATE_TEST_SUITE_P(Table, TimerPhase, ::testing::ValuesIn(phaseCases),
                         [](const auto& info) { return CaseName(info.param.name); });

// Two timers due at the same moment: what the first tick does to the other timer holds before
// the other's tick, and a timer the other tick cancels is never called again.
struct CancelCase {
    const char* name;
    bool firstActs;  // the timer created first acts on the other, else the reverse
    bool destroy;    // destroys the other timer instead of disabling it
    int firstTicks;
    int secondTicks;
};

const CancelCase cancelCases[] = {
    {"first disables second", true, false, 5, 0},
    {"first destroys second", true, true, 5, 0},
    {"second disables first", false, false, 1, 5},
    {"second destroys first", false, true, 1, 5},
};

class TimerCancel : public TimerOnManualClock, public ::testing::WithParamInterface<CancelCase> {};

TEST_P(TimerCancel, CancelledTimerIsNeverCalledBack)
{
    const CancelCase& c = GetParam();
    std::unique_ptr<THITimer> first = std::move(timer);
    auto second = std::make_unique<THITimer>(nullptr);
    int firstTicks = 0, secondTicks = 0;
    auto act = [&](std::unique_ptr<THITimer>& other) {
        if (!other)
            return;
        if (c.destroy)
            other.reset();
        else
            other->SetEnabled(false);
    };
    first->SetOnTimer([&](TComponent*) {
        ++firstTicks;
        if (c.firstActs)
            act(second);
    });
    second->SetOnTimer([&](TComponent*) {
        ++secondTicks;
        if (!c.firstActs)
            act(first);
    });
    first->Loaded();
    second->Loaded();
    clock.Advance(50);
    EXPECT_EQ(firstTicks, c.firstTicks);
    EXPECT_EQ(secondTicks, c.secondTicks);
    EXPECT_EQ(clock.ActiveEvents().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Table, TimerCancel, ::testing::ValuesIn(cancelCases),
                         [](const auto& info) { return CaseName(info.param.name); });

TEST_F(TimerOnManualClock, OwnerDestroysItsRunningTimers)
{
    auto owner = std::make_unique<TComponent>(nullptr);
    auto* a = new THITimer(owner.get());
    auto* b = new THITimer(owner.get());
    a->SetOnTimer(Counter());
    b->SetOnTimer([&](TComponent*) { ++ticks; });
    a->Loaded();
    b->SetInterval(4);
    EXPECT_EQ(clock.ActiveEvents().size(), 2u);
    owner.reset();
    EXPECT_TRUE(clock.ActiveEvents().empty());
    clock.Advance(100);
    EXPECT_EQ(ticks, 0);
}

// A setter that a handler calls can raise "No timer available" on the service's thread, where
// nothing catches it: the service reports it, and the timer is left idle with the new value.
TEST_F(TimerOnManualClock, RefusalInsideATickIsReportedAndStopsThatTick)
{
    int after = 0;
    timer->SetOnTimer([&](TComponent*) {
        ++ticks;
        clock.SetRefuse(true);
        timer->SetInterval(20);
        ++after;
    });
    timer->Loaded();
    ::testing::internal::CaptureStderr();
    clock.Advance(100);
    std::string err = ::testing::internal::GetCapturedStderr();

    EXPECT_EQ(ticks, 1);
    EXPECT_EQ(after, 0);
    EXPECT_EQ(timer->Interval(), 20u);
    EXPECT_EQ(timer->TimerID(), 0u);
    const std::string line = "Zimbrot: a timer tick stopped on EHITimerError: No timer available";
    EXPECT_EQ(clock.TickErrors(), std::vector<std::string>{line});
    EXPECT_EQ(err, line + "\n");
}

}  // namespace

namespace {

// The manual clock itself, for what the timer component does not reach.
struct ClockCase {
    const char* name;
    std::uint32_t delay;
    std::uint32_t flags;
    std::vector<std::uint64_t> calls;  // the clock at each call over 35 ms
};

class ManualClockEvents : public ::testing::TestWithParam<ClockCase> {};

TEST_P(ManualClockEvents, FireAtTheirDeadlines)
{
    ManualClock clock;
    struct Seen {
        ManualClock* clock;
        std::vector<std::uint64_t> calls;
    } seen{&clock, {}};
    auto record = [](std::uint32_t, std::uint32_t, std::uintptr_t user, std::uintptr_t, std::uintptr_t) {
        auto* s = reinterpret_cast<Seen*>(user);
        s->calls.push_back(s->clock->Now());
    };
    std::uint32_t id = clock.SetEvent(GetParam().delay, GetParam().delay, record,
                                      reinterpret_cast<std::uintptr_t>(&seen), GetParam().flags);
    EXPECT_EQ(id == 0, GetParam().delay == 0);
    clock.Advance(20);
    clock.Advance(15);
    EXPECT_EQ(seen.calls, GetParam().calls);
    EXPECT_EQ(clock.Now(), 35u);
}

INSTANTIATE_TEST_SUITE_P(Table, ManualClockEvents,
                         ::testing::Values(ClockCase{"periodic", 10, TIME_PERIODIC, {10, 20, 30}},
                                           ClockCase{"one shot", 10, TIME_ONESHOT, {10}},
                                           ClockCase{"zero delay refused", 0, TIME_PERIODIC, {}}),
                         [](const auto& info) { return CaseName(info.param.name); });

}  // namespace
