// Measures the game's periodic timer against SDL_AddTimer, both running at once at the step
// timer's fastest and slowest periods. For each it prints the median and 99th percentile of the
// absolute error of each period, and the drift over the run: the time from the start to the
// last tick minus the periods times the tick count. A 4 ms ball that drifts runs slow.
//
// Usage: timer_accuracy [--seconds N]   (10 seconds per period by default)
#include "timer/HTimer.h"

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

namespace {

std::int64_t NowNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return std::int64_t{ts.tv_sec} * 1'000'000'000 + ts.tv_nsec;
}

// Tick times in a buffer sized up front, so that recording allocates nothing.
class Recorder {
public:
    explicit Recorder(std::size_t capacity) : times_(capacity) {}
    void Record()
    {
        std::size_t n = count_.load(std::memory_order_relaxed);
        if (n < times_.size()) {
            times_[n] = NowNs();
            count_.store(n + 1, std::memory_order_release);
        }
    }
    std::vector<std::int64_t> Times() const
    {
        return {times_.begin(), times_.begin() + static_cast<std::ptrdiff_t>(count_.load(std::memory_order_acquire))};
    }

private:
    std::vector<std::int64_t> times_;
    std::atomic<std::size_t> count_{0};
};

struct Figures {
    std::size_t ticks = 0;
    double medianUs = 0;
    double p99Us = 0;
    double driftMs = 0;
};

Figures Measure(std::int64_t startNs, const std::vector<std::int64_t>& times, std::uint32_t periodMs)
{
    Figures f;
    f.ticks = times.size();
    if (times.empty())
        return f;
    const std::int64_t period = std::int64_t{periodMs} * 1'000'000;
    std::vector<std::int64_t> errors;
    std::int64_t previous = startNs;
    for (std::int64_t t : times) {
        errors.push_back(std::llabs(t - previous - period));
        previous = t;
    }
    std::sort(errors.begin(), errors.end());
    f.medianUs = static_cast<double>(errors[errors.size() / 2]) / 1000.0;
    f.p99Us = static_cast<double>(errors[std::min(errors.size() - 1, errors.size() * 99 / 100)]) / 1000.0;
    f.driftMs = static_cast<double>(times.back() - startNs - period * static_cast<std::int64_t>(times.size())) / 1e6;
    return f;
}

Uint32 SdlTick(Uint32 interval, void* param)
{
    static_cast<Recorder*>(param)->Record();
    return interval;
}

void Print(const char* method, std::uint32_t periodMs, const Figures& f)
{
    std::printf("%5u ms  %-16s %7zu  %10.1f us  %10.1f us  %+9.3f ms  %s\n", periodMs, method, f.ticks, f.medianUs,
                f.p99Us, f.driftMs, std::abs(f.driftMs) <= periodMs ? "within one period" : "MORE than one period");
}

}  // namespace

int main(int argc, char** argv)
{
    double seconds = 10;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) {
            seconds = std::atof(argv[++i]);
        } else {
            std::fprintf(stderr, "usage: %s [--seconds N]\n", argv[0]);
            return 2;
        }
    }
    if (seconds <= 0) {
        std::fprintf(stderr, "%s: --seconds wants a positive number\n", argv[0]);
        return 2;
    }
    if (SDL_Init(SDL_INIT_TIMER) != 0) {
        std::fprintf(stderr, "SDL_Init: %s\n", SDL_GetError());
        return 1;
    }

    std::printf("%.1f s per period, both timers at once\n", seconds);
    std::printf("period   method             ticks  median |err|     p99 |err|        drift\n");
    for (std::uint32_t periodMs : {4u, 15u}) {
        const auto capacity = static_cast<std::size_t>(seconds * 1000.0 / periodMs * 2) + 64;
        Recorder ours(capacity), sdl(capacity);

        THITimer timer(nullptr);
        timer.SetInterval(periodMs);
        timer.SetOnTimer([&ours](TComponent*) { ours.Record(); });
        const std::int64_t oursStart = NowNs();
        timer.Loaded();
        const std::int64_t sdlStart = NowNs();
        SDL_TimerID sdlTimer = SDL_AddTimer(periodMs, &SdlTick, &sdl);

        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
        timer.SetEnabled(false);
        SDL_RemoveTimer(sdlTimer);
        // SDL gives no word on a callback under way when the timer is removed.
        std::this_thread::sleep_for(std::chrono::milliseconds(50));

        Figures o = Measure(oursStart, ours.Times(), periodMs);
        Figures s = Measure(sdlStart, sdl.Times(), periodMs);
        Print("precise service", periodMs, o);
        Print("SDL_AddTimer", periodMs, s);
        if (o.medianUs > 0)
            std::printf("          median error ratio SDL/ours: %.1fx\n", s.medianUs / o.medianUs);
    }
    SDL_Quit();
    return 0;
}
