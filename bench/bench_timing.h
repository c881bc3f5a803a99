// Wall-clock helpers of the bench programs: one timed call, medians of rounds,
// and the line format in which a ratio is reported against its goal.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <vector>

namespace pelmora::bench {

template <typename Work>
double secondsOf(Work&& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    const auto stop = std::chrono::steady_clock::now();
    return std::chrono::duration<double>(stop - start).count();
}

// CPU seconds the process has used (user and system): unlike the wall clock it
// does not grow when other work shares the machine's cores.
inline double processCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Wall and CPU seconds of one call.
struct Timing {
    double wall = 0;
    double cpu = 0;
};

template <typename Work>
Timing timingOf(Work&& work) {
    const double cpuStart = processCpuSeconds();
    const double wall = secondsOf(work);
    return Timing{wall, processCpuSeconds() - cpuStart};
}

inline double median(std::vector<double> values) {
    if (values.empty()) return 0.0;
    std::sort(values.begin(), values.end());
    const std::size_t mid = values.size() / 2;
    return values.size() % 2 == 1 ? values[mid] : (values[mid - 1] + values[mid]) / 2.0;
}

// "<label>: <ratio>x (goal <= <goal>x) met|MISSED"
inline bool reportRatio(const char* label, double ratio, double goal) {
    const bool met = ratio <= goal;
    std::printf("RATIO %-44s %8.2fx  (goal <= %.2fx)  %s\n", label, ratio, goal, met ? "met" : "MISSED");
    return met;
}

// The same for a figure with a unit, at most or at least the goal.
inline bool reportAtMost(const char* label, double value, double goal, const char* unit) {
    const bool met = value <= goal;
    std::printf("RATIO %-44s %8.2f %s  (goal <= %.2f %s)  %s\n", label, value, unit, goal, unit,
                met ? "met" : "MISSED");
    return met;
}

inline bool reportAtLeast(const char* label, double value, double goal, const char* unit) {
    const bool met = value >= goal;
    std::printf("RATIO %-44s %8.1f %s  (goal >= %.1f %s)  %s\n", label, value, unit, goal, unit,
                met ? "met" : "MISSED");
    return met;
}

}  // namespace pelmora::bench
