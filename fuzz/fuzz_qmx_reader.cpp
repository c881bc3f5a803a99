// Bytes in, a read QMX file or a read error out; whatever reads must also turn
// into JSON. Any crash, sanitizer report or other exception is a finding.
#include <cstddef>
#include <cstdint>
#include <span>

#include "qmxread/qmx_json.h"
#include "qmxread/qmx_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace pelmora::qmxread;
    try {
        QmxFile file = readQmx(std::span<const std::uint8_t>(data, size));
        JsonOptions options;
        options.geometry = options.raw = true;
        (void)toJson(file, options).dump();
    } catch (const ReadError&) {
        // A precise refusal is the expected outcome for malformed input.
    }
    return 0;
}
