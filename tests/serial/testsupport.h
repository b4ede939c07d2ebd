#pragma once

#include <chrono>
#include <string>
#include <thread>

namespace serialtest {

// Polls cond every millisecond until it holds or the deadline passes; returns its last value.
template <class Cond>
bool WaitFor(Cond cond, std::chrono::milliseconds limit = std::chrono::milliseconds(2000))
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!cond()) {
        if (std::chrono::steady_clock::now() >= deadline) return cond();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Bytes 0..255 in a scrambled order, so NUL, CR and LF all occur and any reordering shows.
inline std::string Pattern(std::size_t size, unsigned seed = 0)
{
    std::string s(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        s[i] = char((i * 7 + seed * 13 + (i >> 8)) & 0xFF);
    return s;
}

// CPU time of the whole process in milliseconds.
double ProcessCpuMs();

} // namespace serialtest
