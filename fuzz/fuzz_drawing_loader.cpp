// Bytes in as a drawing document: a drawing or a DocumentError out. A drawing
// that loads must write out and load back into an equal drawing, and write
// out the same text again (load, save, load). Anything else is a finding.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "hostsim/document/drawing.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace pelmora::hostsim;
    Drawing drawing;
    try {
        drawing = parseDrawing(std::string_view(reinterpret_cast<const char*>(data), size));
    } catch (const DocumentError&) {
        return 0;  // a refusal with its JSON path is the expected outcome for malformed input
    }
    const std::string text = serializeDrawing(drawing);
    const Drawing again = parseDrawing(text);
    if (!(again == drawing)) std::abort();
    if (serializeDrawing(again) != text) std::abort();
    return 0;
}
