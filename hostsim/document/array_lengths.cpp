#include "hostsim/document/array_lengths.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "hostsim/document/drawing.h"

namespace pelmora::hostsim {

namespace {

// An open array or object: its entries so far, and an object's last key.
struct Frame {
    bool array = false;
    bool expectsEntry = true;  // an array's next value starts an entry
    std::size_t entries = 0;
    bool expectsKey = true;  // an object's next text is a key
    std::string_view key;
};

std::string pathOf(const std::vector<Frame>& frames) {
    std::string path;
    for (std::size_t i = 1; i < frames.size(); ++i) {
        const Frame& parent = frames[i - 1];
        if (parent.array) {
            path += '[' + std::to_string(parent.entries - 1) + ']';
        } else {
            if (!path.empty()) path += '.';
            path += parent.key;
        }
    }
    return path;
}

// The offset just past the text's closing quote, or npos when it has none.
std::size_t endOfText(std::string_view text, std::size_t open) {
    std::size_t at = open + 1;
    for (;;) {
        const void* found = std::memchr(text.data() + at, '"', text.size() - at);
        if (found == nullptr) return std::string_view::npos;
        const std::size_t quote = static_cast<std::size_t>(static_cast<const char*>(found) - text.data());
        std::size_t backslashes = 0;
        while (quote - backslashes > open + 1 && text[quote - backslashes - 1] == '\\') ++backslashes;
        if (backslashes % 2 == 0) return quote + 1;
        at = quote + 1;
    }
}

class Counter {
public:
    Counter(std::string_view text, std::size_t limit, std::size_t maxDepth)
        : text_(text), limit_(limit), maxDepth_(maxDepth) {}

    // Gives false where the count stops early (malformed or too deep).
    bool run() {
        for (std::size_t at = 0; at < text_.size(); ++at) {
            switch (const char c = text_[at]) {
                case ' ':
                case '\n':
                case '\r':
                case '\t':
                case ':':
                    break;
                case ',':
                    if (frames_.empty()) return false;
                    frames_.back().expectsEntry = frames_.back().expectsKey = true;
                    break;
                case ']':
                case '}':
                    if (frames_.empty() || frames_.back().array != (c == ']')) return false;
                    frames_.pop_back();
                    break;
                case '"': {
                    valueStarts();
                    const std::size_t end = endOfText(text_, at);
                    if (end == std::string_view::npos) return false;
                    text(at, end);
                    at = end - 1;
                    break;
                }
                case '[':
                case '{':
                    valueStarts();
                    if (frames_.size() >= maxDepth_) return false;
                    frames_.push_back(Frame{c == '[', true, 0, true, {}});
                    break;
                default:  // a character of a number, true, false or null
                    valueStarts();
            }
        }
        return true;
    }

private:
    // Any value but a key: an array counts it as an entry.
    void valueStarts() {
        if (frames_.empty()) return;
        Frame& frame = frames_.back();
        if (!frame.array || !frame.expectsEntry) return;
        frame.expectsEntry = false;
        if (++frame.entries > limit_) {
            throw DocumentError(pathOf(frames_), "array of more than " + std::to_string(limit_) +
                                                     " entries exceeds the limit of " + std::to_string(limit_));
        }
    }

    void text(std::size_t open, std::size_t end) {
        if (frames_.empty() || frames_.back().array || !frames_.back().expectsKey) return;
        frames_.back().key = text_.substr(open + 1, end - open - 2);
        frames_.back().expectsKey = false;
    }

    std::string_view text_;
    std::size_t limit_;
    std::size_t maxDepth_;
    std::vector<Frame> frames_;
};

}  // namespace

void checkArrayLengths(std::string_view text, std::size_t limit, std::size_t maxDepth) {
    // Fewer commas than the limit: no array can pass it (each entry after the first follows one).
    if (static_cast<std::size_t>(std::count(text.begin(), text.end(), ',')) < limit) return;
    Counter(text, limit, maxDepth).run();
}

}  // namespace pelmora::hostsim
