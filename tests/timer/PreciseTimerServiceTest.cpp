// The real timer service: its thread, its deadlines and its promises about cancelled events,
// checked with real ticks. Runs under ThreadSanitizer.
#include "TestSupport.h"

#include "platform/core/UILock.h"
#include "platform/services/PreciseTimerService.h"
#include "timer/HTimer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

// Counts its calls; `underLock` is a plain int that only callbacks and UI-lock holders touch, so
// ThreadSanitizer sees any call made outside the lock.
struct Counter {
    std::atomic<int> calls{0};
    int underLock = 0;

    static void Callback(std::uint32_t, std::uint32_t, std::uintptr_t user, std::uintptr_t, std::uintptr_t)
    {
        auto* self = reinterpret_cast<Counter*>(user);
        ++self->underLock;
        self->calls.fetch_add(1);
    }
    std::uintptr_t User() { return reinterpret_cast<std::uintptr_t>(this); }
};

// Waits until `witness` has been called `n` more times. Its event was started with the same
// period as the events under watch, so by then any of theirs would have been due too.
void LetTicksPass(Counter& witness, int n)
{
    int target = witness.calls.load() + n;
    ASSERT_TRUE(WaitFor([&] { return witness.calls.load() >= target; }));
}

// Deadlines in units of the period 4: one fired at 100, looked at when the service woke.
struct DeadlineCase {
    const char* name;
    std::int64_t now;
    std::int64_t next;
};

class NextDeadline : public ::testing::TestWithParam<DeadlineCase> {};

TEST_P(NextDeadline, StaysOnTheGridAndSkipsAheadWhenFarBehind)
{
    EXPECT_EQ(PreciseTimerService::NextDeadline(100, 4, GetParam().now), GetParam().next);
}

INSTANTIATE_TEST_SUITE_P(Table, NextDeadline,
                         ::testing::Values(DeadlineCase{"on time", 100, 104},
                                           DeadlineCase{"late tick is followed by an earlier one", 103, 104},
                                           DeadlineCase{"a period late catches up", 107, 104},
                                           DeadlineCase{"four periods behind still catches up", 120, 104},
                                           DeadlineCase{"five periods behind skips ahead", 124, 128},
                                           DeadlineCase{"far behind on a grid point skips past it", 200, 204},
                                           DeadlineCase{"far behind between grid points", 1001, 1004}),
                         [](const auto& info) { return CaseName(info.param.name); });

// The service sleeps to a little before each deadline and spins the rest; how far before is
// learnt from how late the kernel wakes it.
struct WakeLeadCase {
    const char* name;
    std::vector<std::int64_t> latenciesUs;  // repeated over and over
    std::int64_t lowUs, highUs;             // where the lead settles
};

class WakeLead : public ::testing::TestWithParam<WakeLeadCase> {};

TEST_P(WakeLead, SettlesWhereNineWakesInTenComeInTime)
{
    std::int64_t lead = 0;
    for (int round = 0; round < 500; ++round)
        for (std::int64_t us : GetParam().latenciesUs)
            lead = PreciseTimerService::NextWakeLead(lead, us * 1000);
    EXPECT_GE(lead, GetParam().lowUs * 1000);
    EXPECT_LE(lead, GetParam().highUs * 1000);
}

INSTANTIATE_TEST_SUITE_P(
    Table, WakeLead,
    ::testing::Values(WakeLeadCase{"spread wakes", {50, 60, 70, 80, 90, 100, 110, 120, 130, 140}, 125, 145},
                      WakeLeadCase{"prompt wakes", {0}, 0, 1},
                      WakeLeadCase{"one slow wake in fifty",
                                   {40, 40, 40, 40, 40, 40, 40, 40, 40, 40, 40, 40, 40, 40, 40, 40,  40,
                                    40, 40, 40, 40, 40, 40, 40, 40, 40, 40, 40, 40, 40, 40, 40, 40,  40,
                                    40, 40, 40, 40, 40, 40, 40, 40, 40, 40, 40, 40, 40, 40, 40, 5000},
                                   38,
                                   45},
                      WakeLeadCase{"very slow wakes spin no more than the cap", {5000}, 250, 250}),
    [](const auto& info) { return CaseName(info.param.name); });

struct ArrivalCase {
    const char* name;
    std::uint32_t flags;
    int expectedCalls;  // after the witness has seen 20 ticks
};

class ServiceArrival : public ::testing::TestWithParam<ArrivalCase> {};

TEST_P(ServiceArrival, PeriodicRepeatsOneShotFiresOnce)
{
    PreciseTimerService service;
    Counter counter, witness;
    std::uint32_t id = service.SetEvent(2, 2, &Counter::Callback, counter.User(), GetParam().flags);
    ASSERT_NE(id, 0u);
    ASSERT_NE(service.SetEvent(2, 2, &Counter::Callback, witness.User(), TIME_PERIODIC), 0u);
    LetTicksPass(witness, 20);
    service.KillEvent(id);
    if (GetParam().expectedCalls > 1)
        EXPECT_GE(counter.calls.load(), GetParam().expectedCalls);
    else
        EXPECT_EQ(counter.calls.load(), GetParam().expectedCalls);
}

INSTANTIATE_TEST_SUITE_P(Flags, ServiceArrival,
                         ::testing::Values(ArrivalCase{"periodic", TIME_PERIODIC, 15},
                                           ArrivalCase{"oneshot", TIME_ONESHOT, 1}),
                         [](const auto& info) { return CaseName(info.param.name); });

TEST(Service, RefusesAZeroDelayOrNoCallback)
{
    PreciseTimerService service;
    Counter counter;
    EXPECT_EQ(service.SetEvent(0, 0, &Counter::Callback, counter.User(), TIME_PERIODIC), 0u);
    EXPECT_EQ(service.SetEvent(5, 5, nullptr, counter.User(), TIME_PERIODIC), 0u);
    service.KillEvent(0);
    service.KillEvent(12345);  // unknown: ignored
}

TEST(Service, GivesDistinctIdentifiers)
{
    PreciseTimerService service;
    Counter counter;
    std::uint32_t a = service.SetEvent(1000, 1000, &Counter::Callback, counter.User(), TIME_PERIODIC);
    std::uint32_t b = service.SetEvent(1000, 1000, &Counter::Callback, counter.User(), TIME_PERIODIC);
    service.KillEvent(a);
    std::uint32_t c = service.SetEvent(1000, 1000, &Counter::Callback, counter.User(), TIME_PERIODIC);
    EXPECT_NE(a, 0u);
    EXPECT_NE(a, b);
    EXPECT_NE(c, a);
    EXPECT_NE(c, b);
}

// The window thread cancels while it holds the UI lock: the tick that fell due meanwhile (the
// service thread is already waiting for the lock) must not be delivered.
TEST(Service, TickAlreadyDueIsDroppedWhenCancelledUnderTheUILock)
{
    PreciseTimerService service;
    Counter counter, witness;
    {
        UIGuard windowThreadWork;
        std::uint32_t id = service.SetEvent(1, 1, &Counter::Callback, counter.User(), TIME_PERIODIC);
        // Long enough for the service thread to take the due event and wait for the lock.
        auto dueBy = std::chrono::steady_clock::now() + 5ms;
        while (std::chrono::steady_clock::now() < dueBy) {
        }
        service.KillEvent(id);
    }
    ASSERT_NE(service.SetEvent(1, 1, &Counter::Callback, witness.User(), TIME_PERIODIC), 0u);
    LetTicksPass(witness, 10);
    EXPECT_EQ(counter.calls.load(), 0);
}

// A callback that lingers, so that a cancel from another thread lands while it runs.
struct Lingering {
    std::atomic<bool> entered{false};
    std::atomic<bool> left{false};
    std::atomic<int> calls{0};

    static void Callback(std::uint32_t, std::uint32_t, std::uintptr_t user, std::uintptr_t, std::uintptr_t)
    {
        auto* self = reinterpret_cast<Lingering*>(user);
        self->calls.fetch_add(1);
        self->entered.store(true);
        std::this_thread::sleep_for(20ms);
        self->left.store(true);
    }
};

TEST(Service, KillFromAnotherThreadWaitsForTheRunningCallback)
{
    PreciseTimerService service;
    Lingering lingering;
    Counter witness;
    std::uint32_t id =
        service.SetEvent(1, 1, &Lingering::Callback, reinterpret_cast<std::uintptr_t>(&lingering), TIME_PERIODIC);
    ASSERT_TRUE(WaitFor([&] { return lingering.entered.load(); }));
    service.KillEvent(id);  // this thread holds no UI lock
    EXPECT_TRUE(lingering.left.load());
    int calls = lingering.calls.load();

    ASSERT_NE(service.SetEvent(1, 1, &Counter::Callback, witness.User(), TIME_PERIODIC), 0u);
    LetTicksPass(witness, 10);
    EXPECT_EQ(lingering.calls.load(), calls);
}

// Callbacks that cancel events from inside a tick: their own, or one due right behind them.
struct SelfCancelling {
    PreciseTimerService* service;
    std::uint32_t victim = 0;  // set under the UI lock before the first tick can run
    std::atomic<int> calls{0};

    static void Callback(std::uint32_t, std::uint32_t, std::uintptr_t user, std::uintptr_t, std::uintptr_t)
    {
        auto* self = reinterpret_cast<SelfCancelling*>(user);
        self->calls.fetch_add(1);
        self->service->KillEvent(self->victim);
    }
};

TEST(Service, KillFromInsideATick)
{
    PreciseTimerService service;
    Counter witness, other;
    SelfCancelling own{&service}, cross{&service};
    {
        UIGuard lock;
        own.victim =
            service.SetEvent(1, 1, &SelfCancelling::Callback, reinterpret_cast<std::uintptr_t>(&own), TIME_PERIODIC);
        // Created first with the same period: due before the event it cancels.
        ASSERT_NE(
            service.SetEvent(1, 1, &SelfCancelling::Callback, reinterpret_cast<std::uintptr_t>(&cross), TIME_PERIODIC),
            0u);
        cross.victim = service.SetEvent(1, 1, &Counter::Callback, other.User(), TIME_PERIODIC);
        ASSERT_NE(service.SetEvent(1, 1, &Counter::Callback, witness.User(), TIME_PERIODIC), 0u);
    }
    LetTicksPass(witness, 10);
    EXPECT_EQ(own.calls.load(), 1);
    EXPECT_GE(cross.calls.load(), 5);
    EXPECT_EQ(other.calls.load(), 0);
}

struct Thrower {
    std::function<void()> raise;
    std::atomic<int> calls{0};

    static void Callback(std::uint32_t, std::uint32_t, std::uintptr_t user, std::uintptr_t, std::uintptr_t)
    {
        auto* self = reinterpret_cast<Thrower*>(user);
        self->calls.fetch_add(1);
        self->raise();
    }
};

struct ErrorCase {
    const char* name;
    std::function<void()> raise;
    const char* line;
};

class ServiceTickError : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(ServiceTickError, OneLineOnStderrAndTheServiceGoesOn)
{
    PreciseTimerService service;
    Thrower thrower{GetParam().raise};
    Counter witness;
    ::testing::internal::CaptureStderr();
    std::uint32_t id =
        service.SetEvent(2, 2, &Thrower::Callback, reinterpret_cast<std::uintptr_t>(&thrower), TIME_PERIODIC);
    ASSERT_NE(service.SetEvent(1, 1, &Counter::Callback, witness.User(), TIME_PERIODIC), 0u);
    ASSERT_TRUE(WaitFor([&] { return thrower.calls.load() >= 3; }));
    LetTicksPass(witness, 5);
    service.KillEvent(id);
    std::string err = ::testing::internal::GetCapturedStderr();

    std::istringstream lines(err);
    std::string line;
    int count = 0;
    while (std::getline(lines, line)) {
        EXPECT_EQ(line, GetParam().line);
        ++count;
    }
    EXPECT_EQ(count, thrower.calls.load());
}

INSTANTIATE_TEST_SUITE_P(
    Errors, ServiceTickError,
    ::testing::Values(ErrorCase{"game_error", [] { throw EHITimerError("No timer available"); },
                                "Zimbrot: a timer tick stopped on EHITimerError: No timer available"},
                      ErrorCase{"file_error", [] { throw EInOutError(5); },
                                "Zimbrot: a timer tick stopped on EInOutError: ﾌｧｲﾙへのｱｸｾｽが拒否されました"},
                      ErrorCase{"standard_error", [] { throw std::runtime_error("disk on fire"); },
                                "Zimbrot: a timer tick stopped on std::runtime_error: disk on fire"},
                      ErrorCase{"message_with_line_breaks", [] { throw Exception("two\nlines"); },
                                "Zimbrot: a timer tick stopped on Exception: two lines"},
                      ErrorCase{"not_an_exception_class", [] { throw 42; },
                                "Zimbrot: a timer tick stopped on int: (no message)"}),
    [](const auto& info) { return CaseName(info.param.name); });

// Destroying the service stops its thread, whoever holds the UI lock: no call comes afterwards.
class ServiceDestroyed : public ::testing::TestWithParam<bool> {};

TEST_P(ServiceDestroyed, NoCallbackAfterDestruction)
{
    const bool holdUILock = GetParam();
    auto service = std::make_unique<PreciseTimerService>();
    PreciseTimerService witnessService;
    Counter counter, witness;
    ASSERT_NE(service->SetEvent(1, 1, &Counter::Callback, counter.User(), TIME_PERIODIC), 0u);
    ASSERT_NE(witnessService.SetEvent(1, 1, &Counter::Callback, witness.User(), TIME_PERIODIC), 0u);
    ASSERT_TRUE(WaitFor([&] { return counter.calls.load() >= 3; }));
    {
        std::optional<UIGuard> lock;
        if (holdUILock)
            lock.emplace();
        service.reset();
        EXPECT_EQ(UILock::HeldByThisThread(), holdUILock);
    }
    int calls = counter.calls.load();
    LetTicksPass(witness, 10);
    EXPECT_EQ(counter.calls.load(), calls);
}

INSTANTIATE_TEST_SUITE_P(Lock, ServiceDestroyed, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "holding_ui_lock" : "without_ui_lock"; });

TEST(Service, SetEventAfterShutdownNeverCalls)
{
    PreciseTimerService service, witnessService;
    Counter counter, witness;
    ASSERT_NE(service.SetEvent(1, 1, &Counter::Callback, counter.User(), TIME_PERIODIC), 0u);
    service.Shutdown();
    int calls = counter.calls.load();
    EXPECT_NE(service.SetEvent(1, 1, &Counter::Callback, counter.User(), TIME_PERIODIC), 0u);
    ASSERT_NE(witnessService.SetEvent(1, 1, &Counter::Callback, witness.User(), TIME_PERIODIC), 0u);
    LetTicksPass(witness, 10);
    EXPECT_EQ(counter.calls.load(), calls);
}

}  // namespace
