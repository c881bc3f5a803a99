#include "hostsim/document/record_check.h"

#include <cstring>
#include <string>

#include "plugin/host/light_record.h"

namespace pelmora::hostsim {
namespace {

// What the plug-in's strncmp of the name at byte 64 against its own reads:
// the bytes up to and including the first that differs or the NUL ending both
// (`named`: they were equal). Compared byte by byte here, so that a short
// record is measured without reading past its end.
struct NameRead {
    std::size_t end = 0;  // one past the last byte read
    bool named = false;
};

NameRead nameRead(const AuxRecord& record) {
    NameRead read;
    for (std::size_t k = 0; k < static_cast<std::size_t>(light_record::kNameLength); ++k) {
        const std::size_t at = light_record::kNameOffset + k;
        read.end = at + 1;
        if (at >= record.bytes.size()) return read;  // past the end: the caller refuses
        const char own = light_record::kName[k];     // the NUL after the name ends the comparison
        if (static_cast<char>(record.bytes[at]) != own) return read;
        if (own == '\0') break;
    }
    read.named = true;
    return read;
}

[[noreturn]] void tooShort(const std::string& path, std::size_t index, const AuxRecord& record, std::size_t needed,
                           const char* what) {
    throw DocumentError(path + ".records[" + std::to_string(index) + "]",
                        std::string(what) + " of " + std::to_string(record.bytes.size()) + " bytes; it needs " +
                            std::to_string(needed));
}

// The search as the plug-in runs it on a light object.
void checkLight(const DrawingObject& object, const std::string& path) {
    const std::uint32_t lightTag = tagFromChars("rDgN");
    std::size_t i = 0;
    while (i < object.records.size() && object.records[i].tag != lightTag) ++i;
    for (; i < object.records.size(); ++i) {
        const AuxRecord& record = object.records[i];
        const NameRead read = nameRead(record);
        if (record.bytes.size() < read.end)
            tooShort(path, i, record, read.end,
                     ("a record whose name the search for the light record (tag rDgN) compares from byte 64 to byte " +
                      std::to_string(read.end - 1))
                         .c_str());
        if (!read.named) continue;
        if (record.bytes.size() < kLightRecordSize)
            tooShort(path, i, record, kLightRecordSize, "the light record (its id at bytes 128 to 131)");
        return;  // the search stops here
    }
}

void checkObject(const DrawingObject& object, const std::string& path) {
    if (object.type == kCodeLight) checkLight(object, path);
    for (std::size_t m = 0; m < object.members.size(); ++m)
        checkObject(object.members[m], path + ".members[" + std::to_string(m) + "]");
}

}  // namespace

void checkRecordSizes(const Drawing& drawing) {
    for (std::size_t l = 0; l < drawing.layers.size(); ++l) {
        const auto& objects = drawing.layers[l].objects;
        for (std::size_t o = 0; o < objects.size(); ++o)
            checkObject(objects[o], "layers[" + std::to_string(l) + "].objects[" + std::to_string(o) + "]");
    }
}

}  // namespace pelmora::hostsim
