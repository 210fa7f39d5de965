#pragma once
// Clock, memory and median helpers shared by the benchmarks.

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace vex::bench {

using Clock = std::chrono::steady_clock;

inline double secondsBetween(Clock::time_point a, Clock::time_point b)
{
    return std::chrono::duration<double>(b - a).count();
}

// A "Vm...:  123 kB" line of /proc/self/status in bytes, or -1.
inline long long statusBytes(const std::string &key)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.compare(0, key.size(), key) == 0 && line.size() > key.size() && line[key.size()] == ':')
            return std::atoll(line.c_str() + key.size() + 1) * 1024;
    return -1;
}

inline double mib(long long bytes)
{
    return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

inline double median(std::vector<double> v)
{
    if (v.empty())
        return 0.0;
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 == 1 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2.0;
}

} // namespace vex::bench
