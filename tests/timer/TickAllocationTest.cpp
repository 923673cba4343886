// A tick allocates nothing: not the service's loop, not the component's forwarding, not the
// call of the handler. Counted with a replaced operator new, per thread.
#include "TestSupport.h"

#include "platform/services/PreciseTimerService.h"
#include "timer/HTimer.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstdlib>
#include <new>

namespace {
thread_local std::size_t allocations = 0;
}  // namespace

void* operator new(std::size_t size)
{
    ++allocations;
    if (void* p = std::malloc(size == 0 ? 1 : size))
        return p;
    throw std::bad_alloc();
}

void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

TEST(TimerTick, AllocatesNothing)
{
    PreciseTimerService service;
    SetTimerService(&service);
    constexpr int warmUp = 5;
    std::array<std::size_t, 40> seen{};
    std::atomic<int> ticks{0};
    {
        THITimer timer(nullptr);
        timer.SetInterval(1);
        timer.SetOnTimer([&](TComponent*) {
            int n = ticks.load();
            if (n < static_cast<int>(seen.size()))
                seen[static_cast<std::size_t>(n)] = allocations;  // the service thread's count
            ticks.store(n + 1);
        });
        timer.Loaded();
        ASSERT_TRUE(WaitFor([&] { return ticks.load() >= static_cast<int>(seen.size()); }));
    }
    SetTimerService(nullptr);
    for (std::size_t i = warmUp; i < seen.size(); ++i)
        EXPECT_EQ(seen[i], seen[warmUp]) << "tick " << i;
}

}  // namespace
