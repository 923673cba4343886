#pragma once

#include <mutex>

// The one lock that keeps ticks apart from window-thread work and from each other. The timer
// service holds it around a tick; the window thread holds it around each message dispatch and
// each copy of what it draws, never while it waits for events, presents a frame or shows a box.
class UILock {
public:
    static void Lock();
    static void Unlock();
    static bool HeldByThisThread();
};

class UIGuard {
public:
    UIGuard() { UILock::Lock(); }
    ~UIGuard() { UILock::Unlock(); }
    UIGuard(const UIGuard&) = delete;
    UIGuard& operator=(const UIGuard&) = delete;
};

// Lets go of the lock for a scope if this thread holds it (a modal box waiting for the user),
// and takes it back afterwards.
class UIUnguard {
public:
    UIUnguard() : held_(UILock::HeldByThisThread())
    {
        if (held_)
            UILock::Unlock();
    }
    ~UIUnguard()
    {
        if (held_)
            UILock::Lock();
    }
    UIUnguard(const UIUnguard&) = delete;
    UIUnguard& operator=(const UIUnguard&) = delete;

private:
    bool held_;
};
