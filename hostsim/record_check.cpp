#include "hostsim/record_check.h"

#include <cstring>
#include <string>

#include "plugin/host/light_record.h"

namespace pelmora::hostsim {
namespace {

bool namedAsLightRecord(const AuxRecord& record) {
    return std::strncmp(reinterpret_cast<const char*>(record.bytes.data()) + light_record::kNameOffset,
                        light_record::kName, light_record::kNameLength) == 0;
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
        if (record.bytes.size() < kRecordNameEnd)
            tooShort(path, i, record, kRecordNameEnd,
                     "a record that the search for the light record (tag rDgN) reads the name of (bytes 64 to 127)");
        if (!namedAsLightRecord(record)) continue;
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
