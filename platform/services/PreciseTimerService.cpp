#include "platform/services/PreciseTimerService.h"

#include "platform/core/UILock.h"
#include "platform/services/TickError.h"

#include <cxxabi.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <ctime>
#include <system_error>

namespace {

constexpr std::int64_t kNsPerMs = 1'000'000;
constexpr std::int64_t kNsPerSecond = 1'000'000'000;
constexpr std::int64_t kNever = INT64_MAX;

std::int64_t MonotonicNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * kNsPerSecond + ts.tv_nsec;
}

void CpuRelax()
{
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#elif defined(__aarch64__)
    asm volatile("yield");
#endif
}

void Drain(int fd)
{
    std::uint64_t count = 0;
    while (::read(fd, &count, sizeof count) > 0) {
    }
}

}  // namespace

PreciseTimerService::PreciseTimerService() { events_.reserve(8); }

PreciseTimerService::~PreciseTimerService()
{
    Shutdown();
    CloseFds();
}

void PreciseTimerService::CloseFds()
{
    if (timerFd_ >= 0)
        ::close(timerFd_);
    if (wakeFd_ >= 0)
        ::close(wakeFd_);
    timerFd_ = wakeFd_ = -1;
}

std::uint32_t PreciseTimerService::SetEvent(std::uint32_t delayMs, std::uint32_t /*resolutionMs*/,
                                            TimerCallbackFn callback, std::uintptr_t user, std::uint32_t flags)
{
    if (delayMs == 0 || callback == nullptr)
        return 0;
    std::unique_lock lock(mutex_);
    if (!started_ && !stopping_) {
        // The thread starts with the first event, so a process that never ticks never has one.
        timerFd_ = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
        wakeFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        bool ready = timerFd_ >= 0 && wakeFd_ >= 0;
        if (ready) {
            try {
                thread_ = std::thread(&PreciseTimerService::Run, this);
            } catch (const std::system_error&) {
                ready = false;
            }
        }
        if (!ready) {
            CloseFds();
            return 0;
        }
        threadId_ = thread_.get_id();
        started_ = true;
    }

    Event* slot = nullptr;
    for (Event& e : events_)
        if (e.id == 0) {
            slot = &e;
            break;
        }
    if (slot == nullptr)
        slot = &events_.emplace_back();
    slot->id = NextId();
    slot->periodic = (flags & TIME_PERIODIC) != 0;
    slot->fired = false;
    slot->periodNs = std::int64_t{delayMs} * kNsPerMs;
    slot->deadlineNs = MonotonicNs() + slot->periodNs;
    slot->order = ++created_;
    slot->callback = callback;
    slot->user = user;
    std::uint32_t id = slot->id;
    // The service thread looks at the table again before it sleeps; anyone else must wake it
    // when the new deadline comes before the one it sleeps to.
    if (started_ && std::this_thread::get_id() != threadId_ && slot->deadlineNs - wakeLeadNs_ < armedNs_)
        Wake();
    return id;
}

void PreciseTimerService::KillEvent(std::uint32_t id)
{
    if (id == 0)
        return;
    std::unique_lock lock(mutex_);
    if (Event* e = Find(id))
        *e = Event{};
    // A callback under way holds the UI lock, so a caller holding it never waits here; and the
    // service thread itself (a tick cancelling an event) must not wait for its own call.
    if (std::this_thread::get_id() != threadId_)
        callbackEnded_.wait(lock, [&] { return runningId_ != id; });
}

void PreciseTimerService::Shutdown()
{
    std::unique_lock lock(mutex_);
    if (stopping_)
        return;
    stopping_ = true;
    if (!thread_.joinable())
        return;
    bool fromOwnThread = std::this_thread::get_id() == threadId_;
    Wake();
    lock.unlock();
    if (fromOwnThread) {
        // exit() called from inside a tick: the thread ends when that tick returns.
        thread_.detach();
        return;
    }
    // The thread may be waiting for the UI lock this thread holds; it finds stopping_ set and ends.
    UIUnguard unguard;
    thread_.join();
}

void PreciseTimerService::Run()
{
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        Event* next = Earliest();
        std::int64_t now = MonotonicNs();
        if (next == nullptr || next->deadlineNs > now) {
            std::int64_t until = next != nullptr ? next->deadlineNs : kNever;
            if (until - now <= wakeLeadNs_) {
                // Closer than the timer can wake us reliably: spin the rest, table unlocked.
                lock.unlock();
                while (MonotonicNs() < until)
                    CpuRelax();
                lock.lock();
                continue;
            }
            std::int64_t wakeAt = until == kNever ? kNever : until - wakeLeadNs_;
            if (wakeAt != armedNs_) {
                itimerspec spec{};
                if (wakeAt != kNever) {
                    spec.it_value.tv_sec = static_cast<time_t>(wakeAt / kNsPerSecond);
                    spec.it_value.tv_nsec = static_cast<long>(wakeAt % kNsPerSecond);
                }
                timerfd_settime(timerFd_, TFD_TIMER_ABSTIME, &spec, nullptr);
                armedNs_ = wakeAt;
            }
            lock.unlock();
            pollfd fds[2] = {{timerFd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
            while (::poll(fds, 2, -1) < 0 && errno == EINTR) {
            }
            std::int64_t woke = MonotonicNs();
            // Only what fired: every system call here comes before the tick.
            if (fds[0].revents != 0)
                Drain(timerFd_);
            if (fds[1].revents != 0)
                Drain(wakeFd_);
            lock.lock();
            if (fds[0].revents != 0 && armedNs_ != kNever)
                wakeLeadNs_ = NextWakeLead(wakeLeadNs_, woke - armedNs_);
            continue;
        }

        std::uint32_t id = next->id;
        TimerCallbackFn callback = next->callback;
        std::uintptr_t user = next->user;
        bool periodic = next->periodic;
        if (periodic) {
            next->deadlineNs = NextDeadline(next->deadlineNs, next->periodNs, now);
        } else {
            next->fired = true;
        }
        lock.unlock();

        UILock::Lock();
        lock.lock();
        // Cancelled while we waited for the UI lock: not a single call more.
        bool live = !stopping_ && Find(id) != nullptr;
        if (live)
            runningId_ = id;
        lock.unlock();
        if (live) {
            try {
                callback(id, 0, user, 0, 0);
            } catch (abi::__forced_unwind&) {
                throw;
            } catch (...) {
                ReportTickErrorLine(CurrentTickErrorLine());
            }
        }
        lock.lock();
        runningId_ = 0;
        if (!periodic)
            if (Event* e = Find(id))
                *e = Event{};
        UILock::Unlock();
        callbackEnded_.notify_all();
    }
}

std::int64_t PreciseTimerService::NextWakeLead(std::int64_t leadNs, std::int64_t latencyNs)
{
    // Nine steps up for a wake later than the lead, one down for an earlier one: the lead settles
    // where nine wakes in ten come in time.
    constexpr std::int64_t stepNs = 200;
    leadNs += latencyNs > leadNs ? 9 * stepNs : -stepNs;
    return std::clamp<std::int64_t>(leadNs, 0, kMaxWakeLeadNs);
}

std::int64_t PreciseTimerService::NextDeadline(std::int64_t deadlineNs, std::int64_t periodNs, std::int64_t nowNs)
{
    // From the deadline, not from now: that is what keeps the game from drifting.
    std::int64_t next = deadlineNs + periodNs;
    std::int64_t behind = nowNs - next;
    if (behind > kCatchUpPeriods * periodNs)
        next += (behind / periodNs + 1) * periodNs;
    return next;
}

PreciseTimerService::Event* PreciseTimerService::Find(std::uint32_t id)
{
    for (Event& e : events_)
        if (e.id == id)
            return &e;
    return nullptr;
}

PreciseTimerService::Event* PreciseTimerService::Earliest()
{
    Event* best = nullptr;
    for (Event& e : events_) {
        if (e.id == 0 || e.fired)
            continue;
        if (best == nullptr || e.deadlineNs < best->deadlineNs ||
            (e.deadlineNs == best->deadlineNs && e.order < best->order))
            best = &e;
    }
    return best;
}

std::uint32_t PreciseTimerService::NextId()
{
    do {
        ++lastId_;
    } while (lastId_ == 0 || Find(lastId_) != nullptr);
    return lastId_;
}

void PreciseTimerService::Wake()
{
    std::uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(wakeFd_, &one, sizeof one);
}
