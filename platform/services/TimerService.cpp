#include "platform/services/TimerService.h"

#include "platform/services/PreciseTimerService.h"

#include <atomic>
#include <cstdlib>

namespace {

std::atomic<TimerService*> installed{nullptr};

void StopProcessService();

// Never destroyed: a component destroyed late in the process's exit may still cancel its event.
// Its thread stops at exit, before the statics its ticks might touch go away.
PreciseTimerService& ProcessService()
{
    static PreciseTimerService* service = [] {
        auto* s = new PreciseTimerService;
        std::atexit(StopProcessService);
        return s;
    }();
    return *service;
}

void StopProcessService() { ProcessService().Shutdown(); }

}  // namespace

TimerService& CurrentTimerService()
{
    TimerService* service = installed.load(std::memory_order_acquire);
    return service != nullptr ? *service : ProcessService();
}

void SetTimerService(TimerService* service) { installed.store(service, std::memory_order_release); }

std::uint32_t timeSetEvent(std::uint32_t delay, std::uint32_t resolution, TimerCallbackFn callback, std::uintptr_t user,
                           std::uint32_t flags)
{
    return CurrentTimerService().SetEvent(delay, resolution, callback, user, flags);
}

void timeKillEvent(std::uint32_t id) { CurrentTimerService().KillEvent(id); }
