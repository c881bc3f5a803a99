// Bytes in, a read QMX file or a read error out; whatever reads must also turn
// into JSON, and the JSON written while the bytes are read again must be the
// tree's to the byte. Any crash, sanitizer report, other exception or
// difference is a finding.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <sstream>

#include "qmxread/qmx_json.h"
#include "qmxread/qmx_json_stream.h"
#include "qmxread/qmx_outline.h"
#include "qmxread/qmx_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace pelmora::qmxread;
    const std::span<const std::uint8_t> bytes(data, size);
    try {
        QmxFile file = readQmx(bytes);
        JsonOptions options;
        options.geometry = options.raw = true;
        const std::string whole =
            toJson(file, options).dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
        std::ostringstream streamed;
        writeJsonText(streamed, bytes, outlineQmx(bytes), {}, options);
        if (streamed.str() != whole) std::abort();
    } catch (const ReadError&) {
        // A precise refusal is the expected outcome for malformed input.
    }
    return 0;
}
