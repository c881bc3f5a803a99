#include "hostsim/record_check.h"

#include <string>

namespace pelmora::hostsim {
namespace {

void checkObject(const DrawingObject& object, const std::string& path) {
    const std::uint32_t lightTag = tagFromChars("rDgN");
    bool searched = false;  // the search has reached this record
    for (std::size_t i = 0; i < object.records.size(); ++i) {
        const AuxRecord& record = object.records[i];
        searched = searched || record.tag == lightTag;
        if (searched && record.bytes.size() < kLightRecordSize) {
            const std::string what =
                record.tag == lightTag
                    ? "a light record (tag rDgN) of " + std::to_string(record.bytes.size()) + " bytes; it needs " +
                          std::to_string(kLightRecordSize)
                    : "a record of " + std::to_string(record.bytes.size()) +
                          " bytes after a light record (tag rDgN); the search for light records reads " +
                          std::to_string(kLightRecordSize) + " bytes of each";
            throw DocumentError(path + ".records[" + std::to_string(i) + "]", what);
        }
    }
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
