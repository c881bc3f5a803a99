#include "qmxread/value_source.h"

#include <algorithm>

namespace pelmora::qmxread {

std::size_t ValueSource::lineOf(std::size_t offset) const {
    std::size_t end = std::min(offset, bytes_.size());
    return 1 + static_cast<std::size_t>(
                   std::count(bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(end), '\n'));
}

void ValueSource::failAt(std::size_t offset, const std::string& message) const {
    if (ascii()) {
        std::size_t line = lineOf(offset);
        throw ReadError("line " + std::to_string(line) + " (offset " + std::to_string(offset) + "): " + message, offset,
                        line);
    }
    throw ReadError("offset " + std::to_string(offset) + ": " + message, offset, 0);
}

}  // namespace pelmora::qmxread
