// One line of progress on a terminal: the phase, a percentage when the total
// is known, a detail such as "45 210 of 108 000 objects", and the time spent
// in the phase. Drawn over itself with a carriage return, redrawn by a small
// ticker thread while nothing else reports, cleared before any message and at
// the end. Disabled (nothing at all is written) when stderr is no terminal.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace pelmora::tool {

class ProgressLine {
public:
    explicit ProgressLine(bool enabled);
    ~ProgressLine();
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    bool enabled() const { return enabled_; }

    // A new phase: no fraction, no detail, the clock restarts; drawn at once.
    void phase(const std::string& label);
    // Fraction done in 0..1; a negative value shows none. A helper process
    // forked meanwhile (the model import) may report it too: the value is
    // kept in memory shared with it, and this process draws it.
    void fraction(double done);
    void detail(const std::string& text);
    // When `path` holds its first bytes, the phase `label` begins and shows the file's size.
    void nextPhaseWhenFileAppears(const std::string& path, const std::string& label);

    // Draws the line now, however recently it was drawn.
    void show();

    // Erases the line, so that a message can be printed; the next update draws it again.
    void clear();
    // Erases the line and draws nothing more.
    void finish();

    // "1.2 MB", "340 kB", "512 bytes".
    static std::string bytesText(long long bytes);
    // "108 000": thousands set apart for reading.
    static std::string countText(long long count);

private:
    void drawLocked(bool force);
    void tick();

    const bool enabled_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::thread ticker_;
    bool stopping_ = false;
    bool finished_ = false;
    bool drawn_ = false;
    std::string label_;
    std::string detail_;
    std::string watched_;
    std::string awaitedFile_;
    std::string awaitedLabel_;
    std::atomic<int>* permille_ = nullptr;  // the fraction done, -1 for none; shared with helpers
    std::atomic<int> localPermille_{-1};    // when no shared memory could be had
    long owner_ = 0;
    std::chrono::steady_clock::time_point phaseStart_;
    std::chrono::steady_clock::time_point lastDraw_;
};

}  // namespace pelmora::tool
