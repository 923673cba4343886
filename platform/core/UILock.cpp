#include "platform/core/UILock.h"

namespace {
std::mutex uiMutex;
thread_local bool heldHere = false;
}  // namespace

void UILock::Lock()
{
    uiMutex.lock();
    heldHere = true;
}

void UILock::Unlock()
{
    heldHere = false;
    uiMutex.unlock();
}

bool UILock::HeldByThisThread() { return heldHere; }
