// Bytes as the drawing an import child hands over: the reader must refuse them
// cleanly or give a drawing that the drawing document holds (it writes out and
// loads back as the same drawing). A crash, a hang, an allocation the bytes do
// not back or any other exception is a finding.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "hostsim/document/drawing.h"
#include "tool/import/model_handoff.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace pelmora;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    try {
        const tool::HandoffResult result = tool::readHandoff(bytes);
        if (!(hostsim::parseDrawing(hostsim::serializeDrawing(result.drawing)) == result.drawing)) std::abort();
    } catch (const tool::HandoffError&) {
        // A clean refusal.
    }
    return 0;
}
