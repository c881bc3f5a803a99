#include "tool/output/progress_line.h"

#include <cstdio>

#include "platform/file_status.h"
#include "platform/interrupt_signal.h"
#include "platform/process.h"
#include "platform/terminal.h"

namespace pelmora::tool {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kMinimumRedraw = std::chrono::milliseconds(100);
constexpr auto kTickerPeriod = std::chrono::milliseconds(250);

// Characters as a terminal counts them: UTF-8 continuation bytes take no cell.
std::string cutToCells(const std::string& text, std::size_t width) {
    std::size_t n = 0, i = 0;
    for (; i < text.size(); ++i) {
        auto c = static_cast<unsigned char>(text[i]);
        if ((c & 0xC0) != 0x80 && ++n > width) break;
    }
    return text.substr(0, i);
}

}  // namespace

ProgressLine::ProgressLine(bool enabled) : enabled_(enabled) {
    phaseStart_ = Clock::now();
    if (!enabled_) return;
    owner_ = system::processId();
    std::atomic<int>* shared = system::makeSharedCounter(-1);
    permille_ = shared ? shared : &localPermille_;
    // The ticker never takes a Ctrl+C: the main thread handles it.
    ticker_ = system::threadWithoutInterrupts([this] { tick(); });
}

ProgressLine::~ProgressLine() {
    finish();
    if (permille_ && permille_ != &localPermille_) system::freeSharedCounter(permille_);
}

void ProgressLine::phase(const std::string& label) {
    if (!enabled_) return;
    std::lock_guard<std::mutex> lock(mutex_);
    label_ = label;
    detail_.clear();
    watched_.clear();
    awaitedFile_.clear();
    permille_->store(-1);
    phaseStart_ = Clock::now();
    drawLocked(true);
}

void ProgressLine::fraction(double done) {
    if (!enabled_) return;
    permille_->store(done < 0.0 ? -1 : static_cast<int>((done > 1.0 ? 1.0 : done) * 1000.0));
    if (system::processId() != owner_) return;  // a helper: the tool's ticker draws it
    std::unique_lock<std::mutex> lock(mutex_, std::try_to_lock);
    if (!lock.owns_lock()) return;
    drawLocked(false);
}

void ProgressLine::detail(const std::string& text) {
    if (!enabled_) return;
    std::unique_lock<std::mutex> lock(mutex_, std::try_to_lock);
    if (!lock.owns_lock()) return;
    detail_ = text;
    drawLocked(false);
}

void ProgressLine::nextPhaseWhenFileAppears(const std::string& path, const std::string& label) {
    if (!enabled_) return;
    std::lock_guard<std::mutex> lock(mutex_);
    awaitedFile_ = path;
    awaitedLabel_ = label;
}

void ProgressLine::show() {
    if (!enabled_) return;
    std::lock_guard<std::mutex> lock(mutex_);
    drawLocked(true);
}

void ProgressLine::clear() {
    if (!enabled_) return;
    std::lock_guard<std::mutex> lock(mutex_);
    if (!drawn_) return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    drawn_ = false;
}

void ProgressLine::finish() {
    if (!enabled_) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (drawn_) {
            std::fputs("\r\033[K", stderr);
            std::fflush(stderr);
            drawn_ = false;
        }
        finished_ = true;
        stopping_ = true;
    }
    wake_.notify_all();
    if (ticker_.joinable()) ticker_.join();
}

void ProgressLine::drawLocked(bool force) {
    if (finished_ || label_.empty()) return;
    auto now = Clock::now();
    // Checked before anything else: the collection calls this on every abort poll.
    if (!force && drawn_ && now - lastDraw_ < kMinimumRedraw) return;
    // Its first bytes, not its being there: the staging code makes it empty beforehand.
    if (!awaitedFile_.empty() && system::fileSize(awaitedFile_) > 0) {
        label_ = awaitedLabel_;
        watched_ = awaitedFile_;
        permille_->store(-1);
        phaseStart_ = now;
        awaitedFile_.clear();
    }
    lastDraw_ = now;
    if (!watched_.empty()) {
        if (const long long size = system::fileSize(watched_); size >= 0) detail_ = bytesText(size);
    }
    char numbers[64];
    std::string line = label_;
    if (const int permille = permille_->load(); permille >= 0) {
        std::snprintf(numbers, sizeof numbers, "  %3d%%", permille / 10);
        line += numbers;
    }
    if (!detail_.empty()) line += "  " + detail_;
    const double seconds = std::chrono::duration<double>(now - phaseStart_).count();
    std::snprintf(numbers, sizeof numbers, "  %.1f s", seconds);
    line += numbers;
    // Never wider than the terminal: a wrapped line cannot be drawn over.
    line = cutToCells(line, system::terminalColumns() - 1);
    std::fputs(("\r\033[K" + line).c_str(), stderr);
    std::fflush(stderr);
    drawn_ = true;
}

void ProgressLine::tick() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stopping_) {
        wake_.wait_for(lock, kTickerPeriod);
        if (stopping_) break;
        drawLocked(false);
    }
}

std::string ProgressLine::bytesText(long long bytes) {
    char text[64];
    if (bytes >= 1000LL * 1000 * 1000) std::snprintf(text, sizeof text, "%.2f GB", static_cast<double>(bytes) / 1e9);
    else if (bytes >= 1000LL * 1000) std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / 1e6);
    else if (bytes >= 1000) std::snprintf(text, sizeof text, "%.1f kB", static_cast<double>(bytes) / 1e3);
    else std::snprintf(text, sizeof text, "%lld bytes", bytes);
    return text;
}

std::string ProgressLine::countText(long long count) {
    std::string digits = std::to_string(count < 0 ? -count : count);
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ' ';
        out += digits[i];
    }
    return count < 0 ? "-" + out : out;
}

}  // namespace pelmora::tool
