// One line of progress on a terminal: the phase, a percentage when the total
// is known, a detail such as "45 210 of 108 000 objects", and the time spent
// in the phase. Drawn over itself with a carriage return, redrawn by a small
// ticker thread while nothing else reports, cleared before any message and at
// the end. Disabled (nothing at all is written) when stderr is no terminal.
#pragma once

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
    // Without `ticking` only the updates draw it (as when a helper process
    // reports on the same terminal).
    void phase(const std::string& label, bool ticking = true);
    // Fraction done in 0..1; a negative value shows none.
    void fraction(double done);
    void detail(const std::string& text);
    // The size of this file (when it exists) is shown as the detail.
    void watchFile(const std::string& path);

    // When `path` appears, the phase `label` begins and shows the file's size.
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
    bool ticking_ = true;
    std::string label_;
    std::string detail_;
    std::string watched_;
    std::string awaitedFile_;
    std::string awaitedLabel_;
    double fraction_ = -1.0;
    std::chrono::steady_clock::time_point phaseStart_;
    std::chrono::steady_clock::time_point lastDraw_;
};

}  // namespace pelmora::tool
