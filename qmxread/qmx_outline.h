// A whole read of a QMX file that keeps only its outline (encoding, header,
// number of roots): the check made before a tree is written out as it is read
// again, so that a faulty file is refused before anything is written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "qmxread/qmx_reader.h"

namespace pelmora::qmxread {

struct QmxOutline {
    Encoding encoding = Encoding::Binary;
    Header header;
    std::size_t roots = 0;  // at least one in a file that reads
};

// Throws ReadError as readQmx does.
QmxOutline outlineQmx(std::span<const std::uint8_t> bytes, const ReadOptions& options = {});

}  // namespace pelmora::qmxread
