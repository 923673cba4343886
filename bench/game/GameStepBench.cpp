// One game step: with no hit, with a hit, and with a game over, and the best-score store
// alone (a game over's step less the store is the step's own cost). Allocations per step are
// counted with a replaced operator new.

#include "game/BestScoreFile.h"
#include "game/Unit1.h"
#include "platform/core/Application.h"
#include "platform/core/UILock.h"
#include "platform/headless/HeadlessAudio.h"
#include "platform/headless/HeadlessWindowSystem.h"
#include "platform/headless/ManualClock.h"
#include "timer/HTimer.h"

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <new>

namespace {
std::atomic<long> allocations{0};
}

void* operator new(std::size_t size)
{
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size == 0 ? 1 : size))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

// The main window on the headless backend, in a directory of its own.
class Game {
public:
    Game()
    {
        char name[] = "/tmp/zimbrot-bench-XXXXXX";
        dir_ = mkdtemp(name);
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_);
        std::ofstream("Best.dat", std::ios::binary).write("\0\0\0\0", 4);
        SetWindowSystem(&windows_);
        SetTimerService(&clock_);
        SetAudioSystem(&audio_);
        application_ = std::make_unique<TApplication>(nullptr);
        Application = application_.get();
        UIGuard guard;
        Application->CreateForm(Form1);
        Form1->Panel2->SetVisible(false);
        Form1->Label1->SetVisible(false);
    }
    ~Game()
    {
        {
            UIGuard guard;
            application_.reset();
            Application = nullptr;
        }
        SetAudioSystem(nullptr);
        SetTimerService(nullptr);
        SetWindowSystem(nullptr);
        std::filesystem::current_path(previous_);
        std::filesystem::remove_all(dir_);
    }
    void Place(int left, int top, int direction)
    {
        Form1->Label2->SetLeft(left);
        Form1->Label2->SetTop(top);
        Form1->direction = direction;
    }
    // Keeps the sound device's copies free, as a playing device would. Its own allocations are
    // the test device's, not the step's: they are kept out of the count.
    void Drain()
    {
        long before = allocations.load();
        audio_.PullBuffers(64);
        audio_.ClearRecorded();
        allocations.fetch_sub(allocations.load() - before);
    }

private:
    HeadlessWindowSystem windows_;
    ManualClock clock_;
    HeadlessAudioSystem audio_;
    std::unique_ptr<TApplication> application_;
    std::filesystem::path previous_;
    std::string dir_;
};

void Report(benchmark::State& state, long before)
{
    state.counters["allocs/step"] =
        benchmark::Counter(static_cast<double>(allocations.load() - before), benchmark::Counter::kAvgIterations);
}

// The ball crosses the middle of the field: it moves and is tested, nothing else.
void BM_StepNoHit(benchmark::State& state)
{
    Game game;
    UIGuard guard;
    game.Place(40, 40, 8);
    long before = allocations.load();
    int steps = 0;
    for (auto _ : state) {
        Form1->HITimer1Timer(Form1->HITimer1);
        if (++steps == 100) {  // back before it reaches anything
            game.Place(40, 40, 8);
            steps = 0;
        }
    }
    Report(state, before);
}
BENCHMARK(BM_StepNoHit);

// Steps from one place again and again, freeing the sound device's copies now and then.
void StepsFrom(benchmark::State& state, int left, int top, int direction)
{
    Game game;
    UIGuard guard;
    long before = allocations.load();
    int steps = 0;
    for (auto _ : state) {
        game.Place(left, top, direction);
        Form1->HITimer1Timer(Form1->HITimer1);
        if (++steps % 64 == 0) {
            state.PauseTiming();
            game.Drain();
            Form1->Label3->SetCaption("0");
            state.ResumeTiming();
        }
    }
    Report(state, before);
}

// A step onto the bottom paddle: "Hit" plays and the count rises.
void BM_StepHit(benchmark::State& state) { StepsFrom(state, 100, 184, 6); }
BENCHMARK(BM_StepHit);

// A step onto the left edge: "Lose" plays and the game over runs, the store included.
void BM_StepGameOver(benchmark::State& state) { StepsFrom(state, 1, 50, 4); }
BENCHMARK(BM_StepGameOver)->Unit(benchmark::kMicrosecond);

// The store alone, in the same directory.
void BM_StoreBestScore(benchmark::State& state)
{
    Game game;
    for (auto _ : state)
        StoreBestScore("Best.dat", 23);
}
BENCHMARK(BM_StoreBestScore)->Unit(benchmark::kMicrosecond);

}  // namespace
