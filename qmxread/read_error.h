// The one failure type of the QMX reader: a message that names where in the
// file the fault lies (byte offset, and line for ASCII files).
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>

namespace pelmora::qmxread {

class ReadError : public std::runtime_error {
public:
    // `line` is 0 for BINARY files; the message already carries the position.
    ReadError(const std::string& message, std::size_t offset, std::size_t line)
        : std::runtime_error(message), offset_(offset), line_(line) {}

    std::size_t offset() const { return offset_; }
    std::size_t line() const { return line_; }

private:
    std::size_t offset_;
    std::size_t line_;
};

}  // namespace pelmora::qmxread
