#include "platform/services/Focus.h"

#include <atomic>

namespace {
std::atomic<bool> mainWindowActive{false};
}

bool MainWindowActive() { return mainWindowActive.load(std::memory_order_relaxed); }
void SetMainWindowActive(bool active) { mainWindowActive.store(active, std::memory_order_relaxed); }
