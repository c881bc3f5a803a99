// Fuzzes the id table reader: any bytes as the id table, looked up in a tiny
// fake drawing. Only names the drawing has give entries, and no name longer
// than the host's limit ever reaches the lookup.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "plugin/templates/template_library.h"

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

const char* const kClasses[] = {"None", "Walls", "Roof", "Walls 2"};

std::int32_t lookup(const std::uint8_t* name) {
    check(name[0] <= pelmora::kMaxClassNameLength);
    const std::string wanted(reinterpret_cast<const char*>(name + 1), name[0]);
    check(wanted.find('\0') == std::string::npos);
    check(name[name[0] + 1] == 0);
    for (std::int32_t i = 0; i < 4; ++i) {
        if (wanted == kClasses[i]) return i + 1;
    }
    return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    pelmora::TextBuffer text;
    if (!text.assign(reinterpret_cast<const char*>(data), size)) return 0;
    pelmora::TemplateLibrary library;
    library.setClassLookup(&lookup);
    pelmora::LoadReport report;
    library.setLoadReport(&report);
    library.readIdTableText(text);
    for (const auto& [index, id] : library.idTable()) {
        check(index >= 1 && index <= 4);
        (void)id;
    }
    check(library.idTable().size() <= report.idLines.size());
    return 0;
}
