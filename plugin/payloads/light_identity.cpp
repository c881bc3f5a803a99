#include "plugin/payloads/light_identity.h"

#include <cstring>
#include <unordered_map>

#include "plugin/host/services.h"
#include "plugin/payloads/light_source.h"

namespace pelmora {
namespace {

// A record handle points to a pointer to the record's bytes.
std::uint8_t* recordBytes(HostHandle record) {
    std::uint8_t* bytes = nullptr;
    std::memcpy(&bytes, record, sizeof bytes);
    return bytes;
}

// Holds a record's lock for the scope's lifetime.
class RecordLock {
public:
    explicit RecordLock(HostHandle record) : record_(record) { host::lockRecord(record_); }
    ~RecordLock() { host::unlockRecord(record_); }
    RecordLock(const RecordLock&) = delete;
    RecordLock& operator=(const RecordLock&) = delete;
    std::uint8_t* bytes() const { return recordBytes(record_); }

private:
    HostHandle record_;
};

std::int32_t loadInt32(const std::uint8_t* p) {
    std::uint32_t v =
        std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24;
    return static_cast<std::int32_t>(v);
}

void storeInt32(std::uint8_t* p, std::int32_t value) {
    const auto v = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

constexpr int kIdSlots = (kHighestLightId - kLowestLightId) / 2 + 1;  // 498

// The slot of an id that findFreeLightId can hand out, or -1 for any other id.
int slotOf(std::int32_t id) {
    if (id < kLowestLightId || id > kHighestLightId || id % 2 != 0) return -1;
    return (id - kLowestLightId) / 2;
}

// How many lights hold each id that can be handed out.
struct HeldIds {
    int count[kIdSlots] = {};

    void add(std::int32_t id, int delta) {
        const int slot = slotOf(id);
        if (slot >= 0) count[slot] += delta;
    }
    std::int32_t firstFree() const {
        for (std::int32_t id = kHighestLightId; id >= kLowestLightId; id -= 2)
            if (count[slotOf(id)] == 0) return id;
        return 0;
    }
};

}  // namespace

std::uint32_t recordTagA() {
    std::uint32_t tag = 0;
    std::memcpy(&tag, "rDgN", sizeof tag);
    return tag;
}

HostHandle findNamedRecord(HostHandle object, const char* name) {
    if (name == nullptr) return nullptr;
    HostHandle record = host::firstAuxRecord(object, recordTagA());
    while (record != nullptr) {
        HostHandle next = host::nextObject(record);
        bool equal = false;
        {
            RecordLock lock(record);
            const std::uint8_t* bytes = lock.bytes();
            equal = bytes != nullptr && std::strncmp(reinterpret_cast<const char*>(bytes) + light_record::kNameOffset,
                                                     name, light_record::kNameLength) == 0;
        }
        if (equal) return record;
        if (next == nullptr) return nullptr;
        record = host::findAuxRecordFrom(next, light_record::kTagB);
    }
    return nullptr;
}

HostHandle createNamedRecord(HostHandle object, const char* name, std::int32_t size) {
    // A record too short for its name would be written past its end.
    if (size < light_record::kNameOffset + light_record::kNameLength) return nullptr;
    HostHandle record = host::newAuxRecord(object, recordTagA(), size);
    if (record == nullptr) return nullptr;
    RecordLock lock(record);
    std::uint8_t* bytes = lock.bytes();
    if (bytes != nullptr) {
        std::uint8_t* field = bytes + light_record::kNameOffset;
        std::memset(field, 0, light_record::kNameLength);
        for (int i = 0; name != nullptr && i < light_record::kNameLength && name[i] != '\0'; ++i)
            field[i] = static_cast<std::uint8_t>(name[i]);
    }
    return record;
}

std::int32_t readLightId(HostHandle object) {
    HostHandle record = findNamedRecord(object, light_record::kName);
    if (record == nullptr) return 0;
    RecordLock lock(record);
    const std::uint8_t* bytes = lock.bytes();
    return bytes != nullptr ? loadInt32(bytes + light_record::kIdOffset) : 0;
}

bool writeLightId(HostHandle object, std::int32_t id) {
    HostHandle record = findNamedRecord(object, light_record::kName);
    if (record == nullptr) record = createNamedRecord(object, light_record::kName, light_record::kSize);
    if (record == nullptr) return false;
    RecordLock lock(record);
    std::uint8_t* bytes = lock.bytes();
    if (bytes == nullptr) return false;
    storeInt32(bytes + light_record::kIdOffset, id);
    return true;
}

std::int32_t findFreeLightId(const LightList& lights) {
    HeldIds held;
    for (const auto& light : lights) held.add(readLightId(light->object()), 1);
    return held.firstFree();
}

void assignLightIds(const LightList& lights) {
    // Each light's id is read from the host once and then kept here, updated
    // on every write, so that the pass costs O(lights x ids) rather than a
    // host search per light and per id. The results are those of reading
    // every id afresh at every step.
    const std::size_t n = lights.size();
    std::vector<std::int32_t> ids(n);
    std::unordered_map<HostHandle, std::vector<std::size_t>> positions;  // the same object may be listed twice
    HeldIds held;
    std::unordered_map<std::int32_t, int> later;  // ids held at positions after the current one
    for (std::size_t i = 0; i < n; ++i) {
        ids[i] = readLightId(lights[i]->object());
        positions[lights[i]->object()].push_back(i);
        held.add(ids[i], 1);
        ++later[ids[i]];
    }
    for (std::size_t i = 0; i < n; ++i) {
        --later[ids[i]];
        const std::int32_t current = ids[i];
        if (current > 0 && later[current] == 0) continue;
        const std::int32_t fresh = held.firstFree();
        // With every light id taken, the light keeps what it holds (no id 0
        // goes into the drawing); the scene's node ids are made unique later.
        if (fresh == 0 || !writeLightId(lights[i]->object(), fresh)) continue;  // the light still reads as before
        for (std::size_t p : positions[lights[i]->object()]) {
            held.add(ids[p], -1);
            held.add(fresh, 1);
            if (p > i) {
                --later[ids[p]];
                ++later[fresh];
            }
            ids[p] = fresh;
        }
    }
}

}  // namespace pelmora
