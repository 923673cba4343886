// THITimer on the real service: ticks arrive on the service's thread, a handler may change its
// own and the other timer, and a window thread may change, destroy and re-create timers while
// both tick. Runs under ThreadSanitizer, which sees any tick that is not kept apart from
// window-thread work or from the other timer's tick.
#include "TestSupport.h"

#include "platform/core/UILock.h"
#include "platform/services/PreciseTimerService.h"
#include "timer/HTimer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

namespace {

class TimerOnRealService : public ::testing::Test {
protected:
    TimerOnRealService() { SetTimerService(&service); }
    ~TimerOnRealService() override { SetTimerService(nullptr); }

    PreciseTimerService service;
};

TEST_F(TimerOnRealService, TicksArriveOnTheServiceThreadUnderTheUILock)
{
    THITimer timer(nullptr);
    std::atomic<int> ticks{0};
    std::atomic<bool> wrongThreadOrUnlocked{false};
    const auto windowThread = std::this_thread::get_id();
    timer.SetInterval(2);
    timer.SetOnTimer([&](TComponent* sender) {
        if (sender != &timer || std::this_thread::get_id() == windowThread || !UILock::HeldByThisThread())
            wrongThreadOrUnlocked.store(true);
        ticks.fetch_add(1);
    });
    timer.Loaded();
    EXPECT_TRUE(WaitFor([&] { return ticks.load() >= 5; }));
    EXPECT_FALSE(wrongThreadOrUnlocked.load());
}

// What a handler does to its own timer or to the other one from inside its first tick. The
// witness ticks at the same period, so once it has ticked 20 times any tick still to come from
// the timer under test would have come.
struct InTickCase {
    const char* name;
    std::function<void(THITimer& self, THITimer& other)> firstTick;
    bool selfKeepsTicking;
    bool otherKeepsTicking;
};

const InTickCase inTickCases[] = {
    {"shortens own interval", [](THITimer& self, THITimer&) { self.SetInterval(1); }, true, true},
    {"disables itself", [](THITimer& self, THITimer&) { self.SetEnabled(false); }, false, true},
    {"disables and re-enables itself",
     [](THITimer& self, THITimer&) {
         self.SetEnabled(false);
         self.SetEnabled(true);
     },
     true, true},
    {"disables the other", [](THITimer&, THITimer& other) { other.SetEnabled(false); }, true, false},
    {"re-times the other",
     [](THITimer&, THITimer& other) {
         other.SetEnabled(false);
         other.SetInterval(1);
         other.SetEnabled(true);
     },
     true, true},
};

class TimerChangedInTick : public TimerOnRealService, public ::testing::WithParamInterface<InTickCase> {};

TEST_P(TimerChangedInTick, TakesEffectFromInsideTheTick)
{
    const InTickCase& c = GetParam();
    THITimer self(nullptr), other(nullptr), witness(nullptr);
    std::atomic<int> selfTicks{0}, otherTicks{0}, witnessTicks{0};
    for (THITimer* t : {&self, &other, &witness})
        t->SetInterval(2);
    self.SetOnTimer([&](TComponent*) {
        if (selfTicks.fetch_add(1) == 0)
            c.firstTick(self, other);
    });
    other.SetOnTimer([&](TComponent*) { otherTicks.fetch_add(1); });
    witness.SetOnTimer([&](TComponent*) { witnessTicks.fetch_add(1); });
    {
        UIGuard loading;
        for (THITimer* t : {&self, &other, &witness})
            t->Loaded();
    }
    ASSERT_TRUE(WaitFor([&] { return selfTicks.load() >= 1; }));
    int selfAfter = selfTicks.load(), otherAfter = otherTicks.load();
    int target = witnessTicks.load() + 20;
    ASSERT_TRUE(WaitFor([&] { return witnessTicks.load() >= target; }));
    if (c.selfKeepsTicking)
        EXPECT_GT(selfTicks.load(), selfAfter + 5);
    else
        EXPECT_EQ(selfTicks.load(), selfAfter);
    if (c.otherKeepsTicking)
        EXPECT_GT(otherTicks.load(), otherAfter + 5);
    else
        EXPECT_EQ(otherTicks.load(), otherAfter);
}

INSTANTIATE_TEST_SUITE_P(Table, TimerChangedInTick, ::testing::ValuesIn(inTickCases),
                         [](const auto& info) { return CaseName(info.param.name); });

// The game's shape: a step timer that re-times itself in every tick and a title timer that the
// step tick switches on and off, both at 1 to 2 ms, while a window thread works on the same state
// under the UI lock, re-times them and then destroys and re-creates both, many times over.
// `shared` is a plain int: ThreadSanitizer reports any access that the UI lock does not order.
struct Game {
    std::unique_ptr<TComponent> form;
    THITimer* step = nullptr;
    THITimer* title = nullptr;
    int shared = 0;
    int stepTicks = 0;
    std::atomic<int> ticks{0};
    std::atomic<int> strangers{0};  // ticks whose sender is not one of this round's timers
};

enum class Teardown { HoldingUILock, WithoutUILock, DisabledFirst };

void Build(Game& g)
{
    UIGuard windowThreadWork;
    g.form = std::make_unique<TComponent>(nullptr);
    g.step = new THITimer(g.form.get());
    g.title = new THITimer(g.form.get());
    g.form->Loading();
    g.step->SetEnabled(false);
    g.step->SetInterval(1);
    g.step->SetOnTimer([&g](TComponent* sender) {
        if (sender != g.step)
            g.strangers.fetch_add(1);
        ++g.shared;
        ++g.stepTicks;
        g.step->SetInterval(1 + g.stepTicks % 2);
        if (g.stepTicks % 3 == 0)
            g.title->SetEnabled(!g.title->Enabled());
        g.ticks.fetch_add(1);
    });
    g.title->SetInterval(1);
    g.title->SetOnTimer([&g](TComponent* sender) {
        if (sender != g.title)
            g.strangers.fetch_add(1);
        ++g.shared;
        g.step->SetEnabled(true);
        g.ticks.fetch_add(1);
    });
    g.step->Loaded();
    g.title->Loaded();
    g.form->Loaded();
}

void Destroy(Game& g, Teardown how)
{
    switch (how) {
    case Teardown::HoldingUILock: {
        UIGuard windowThreadWork;
        g.form.reset();
        break;
    }
    case Teardown::WithoutUILock:
        g.form.reset();
        break;
    case Teardown::DisabledFirst: {
        UIGuard windowThreadWork;
        g.step->SetEnabled(false);
        g.title->SetEnabled(false);
        g.form.reset();
        break;
    }
    }
    g.step = g.title = nullptr;
}

TEST_F(TimerOnRealService, WindowThreadAndTwoTimersManyTimesOver)
{
    constexpr int rounds = 150;
    constexpr int workPerRound = 4;
    Game g;
    for (int round = 0; round < rounds; ++round) {
        Build(g);
        for (int work = 0; work < workPerRound; ++work) {
            int seen = g.ticks.load();
            ASSERT_TRUE(WaitFor([&] { return g.ticks.load() >= seen + 2; })) << "round " << round;
            UIGuard windowThreadWork;
            ++g.shared;
            g.step->SetInterval(1 + (round + work) % 2);
            if (work == 2)
                g.title->SetInterval(2);
        }
        // Let a tick run that this thread has no ordering with (a relaxed read), so that a
        // teardown that forgot the UI lock races with it where ThreadSanitizer can see.
        int seen = g.ticks.load(std::memory_order_relaxed);
        ASSERT_TRUE(WaitFor([&] { return g.ticks.load(std::memory_order_relaxed) >= seen + 2; }));
        Destroy(g, static_cast<Teardown>(round % 3));
    }
    EXPECT_EQ(g.strangers.load(), 0);
    UIGuard lock;
    EXPECT_GT(g.shared, rounds * workPerRound);
}

}  // namespace
