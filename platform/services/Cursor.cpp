#include "platform/services/Cursor.h"

#include <atomic>

namespace {
std::atomic<int> displayCount{0};
std::atomic<CursorVisibilityHook> visibilityHook{nullptr};
}  // namespace

int ShowCursor(bool show)
{
    int before = show ? displayCount.fetch_add(1) : displayCount.fetch_sub(1);
    int after = show ? before + 1 : before - 1;
    if ((before >= 0) != (after >= 0))
        if (auto hook = visibilityHook.load())
            hook(after >= 0);
    return after;
}

int CursorDisplayCount() { return displayCount.load(); }

void SetCursorVisibilityHook(CursorVisibilityHook hook) { visibilityHook.store(hook); }

void ResetCursorDisplayCount()
{
    int before = displayCount.exchange(0);
    if (before < 0)
        if (auto hook = visibilityHook.load())
            hook(true);
}
