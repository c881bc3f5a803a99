// The peak resident size of a process and of every process below it, taken by
// reading /proc every 2 ms while it runs: each process's own peak (VmHWM) as
// last seen, summed over the processes, and the largest sum of their resident
// sizes seen at one moment. Growth in the last 2 ms of a process is missed,
// and so is a process before it has started its program.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace pelmora::bench {

struct ProcessPeaks {
    long long summedKiB = 0;      // sum over the processes of each one's peak
    long long concurrentKiB = 0;  // largest sum of the resident sizes at one moment
    int processes = 0;
    std::vector<long long> eachKiB;  // each process's peak, by process id (the order they started)
};

// Watches `root` and its descendants from a thread of its own until stop().
class ProcessPeakWatch {
public:
    explicit ProcessPeakWatch(pid_t root) : root_(root), thread_([this] { run(); }) {}
    ~ProcessPeakWatch() { stop(); }
    ProcessPeakWatch(const ProcessPeakWatch&) = delete;
    ProcessPeakWatch& operator=(const ProcessPeakWatch&) = delete;

    ProcessPeaks stop() {
        done_ = true;
        if (thread_.joinable()) thread_.join();
        ProcessPeaks peaks;
        for (const auto& [pid, kib] : peakKiB_) {
            peaks.summedKiB += kib;
            peaks.eachKiB.push_back(kib);
        }
        peaks.concurrentKiB = concurrentKiB_;
        peaks.processes = static_cast<int>(peakKiB_.size());
        return peaks;
    }

private:
    static long long statusKiB(pid_t pid, const char* key) {
        std::ifstream status("/proc/" + std::to_string(pid) + "/status");
        for (std::string line; std::getline(status, line);)
            if (line.rfind(key, 0) == 0) return std::atoll(line.c_str() + std::char_traits<char>::length(key));
        return 0;
    }

    static std::vector<pid_t> tree(pid_t root) {
        std::vector<pid_t> all{root};
        for (std::size_t i = 0; i < all.size(); ++i) {
            std::error_code error;
            const std::string tasks = "/proc/" + std::to_string(all[i]) + "/task";
            for (const auto& task : std::filesystem::directory_iterator(tasks, error)) {
                std::ifstream children(task.path() / "children");
                for (pid_t child; children >> child;) all.push_back(child);
            }
        }
        return all;
    }

    static std::string exeOf(const std::string& pid) {
        std::error_code error;
        return std::filesystem::read_symlink("/proc/" + pid + "/exe", error).string();
    }

    void run() {
        // Until it has started its program, the watched process is a copy of
        // this one, whose pages it shares: not counted.
        const std::string self = exeOf("self");
        while (!done_) {
            long long resident = 0;
            for (pid_t pid : tree(root_)) {
                if (exeOf(std::to_string(pid)) == self) continue;
                const long long peak = statusKiB(pid, "VmHWM:");
                if (peak > peakKiB_[pid]) peakKiB_[pid] = peak;
                resident += statusKiB(pid, "VmRSS:");
            }
            if (resident > concurrentKiB_) concurrentKiB_ = resident;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }

    pid_t root_;
    std::atomic<bool> done_{false};
    std::map<pid_t, long long> peakKiB_;
    long long concurrentKiB_ = 0;
    std::thread thread_;
};

}  // namespace pelmora::bench
