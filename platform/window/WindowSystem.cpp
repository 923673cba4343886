#include "platform/window/WindowSystem.h"

#include <stdexcept>

namespace {
WindowSystem* current = nullptr;
}

WindowSystem& CurrentWindowSystem()
{
    if (current == nullptr)
        throw std::logic_error("no window system installed");
    return *current;
}

void SetWindowSystem(WindowSystem* system) { current = system; }
bool HasWindowSystem() { return current != nullptr; }
