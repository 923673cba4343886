#pragma once

#include <cctype>
#include <chrono>
#include <string>
#include <thread>

// Waits for a condition that real ticks bring about, with a timeout generous enough for a
// loaded machine under ThreadSanitizer. Gives whether it came.
template <class Condition>
bool WaitFor(Condition condition, std::chrono::milliseconds timeout = std::chrono::seconds(20))
{
    auto end = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return true;
}

// A table case's name as a test name: letters and digits, the rest as underscores.
inline std::string CaseName(const char* name)
{
    std::string s = name;
    for (char& ch : s)
        if (!std::isalnum(static_cast<unsigned char>(ch)))
            ch = '_';
    return s;
}
