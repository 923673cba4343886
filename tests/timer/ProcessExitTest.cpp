// The process's own timer service at exit: the program may end while its timers tick, from the
// window thread with or without the UI lock, or from inside a tick. It must end, with its code.
#include "TestSupport.h"

#include "platform/core/UILock.h"
#include "platform/services/TimerService.h"
#include "timer/HTimer.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>

namespace {

enum class ExitFrom { WindowThread, WindowThreadHoldingUILock, InsideATick };

struct ExitCase {
    const char* name;
    ExitFrom from;
};

// Starts two timers on the process's service, as the game's window does, and ends the process.
[[noreturn]] void TickThenExit(ExitFrom from)
{
    alarm(20);  // a hang at exit fails the test rather than stalling it
    SetTimerService(nullptr);
    auto* form = new TComponent(nullptr);  // never destroyed: the process ends under it
    static std::atomic<int> ticks{0};
    for (std::uint32_t interval : {1u, 2u}) {
        auto* timer = new THITimer(form);
        timer->SetInterval(interval);
        timer->SetOnTimer([from](TComponent*) {
            if (ticks.fetch_add(1) == 10 && from == ExitFrom::InsideATick)
                std::exit(3);
        });
        timer->Loaded();
    }
    if (!WaitFor([] { return ticks.load() >= 20; }))
        std::_Exit(99);
    if (from == ExitFrom::WindowThreadHoldingUILock) {
        // Long enough for a tick to fall due and wait for the lock.
        UILock::Lock();
        auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(5);
        while (std::chrono::steady_clock::now() < until) {
        }
    }
    std::exit(3);
}

class ProcessExit : public ::testing::TestWithParam<ExitCase> {};

TEST_P(ProcessExit, EndsWithItsCodeWhileTimersTick)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(TickThenExit(GetParam().from), ::testing::ExitedWithCode(3), "");
}

INSTANTIATE_TEST_SUITE_P(Table, ProcessExit,
                         ::testing::Values(ExitCase{"from the window thread", ExitFrom::WindowThread},
                                           ExitCase{"holding the UI lock", ExitFrom::WindowThreadHoldingUILock},
                                           ExitCase{"from inside a tick", ExitFrom::InsideATick}),
                         [](const auto& info) { return CaseName(info.param.name); });

}  // namespace
