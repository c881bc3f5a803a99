// The fixed payload layouts of the motion kinds the reader decodes, as tables
// of (offset, name, type, count): one table per kind and record layout.
#pragma once

#include <cstdint>
#include <span>

namespace pelmora::qmxread {

enum class FieldType {
    Int32,  // `count` little-endian int32
    Float,  // `count` little-endian IEEE singles
    Text,   // a NUL-terminated text in a char array of `count` bytes
};

struct FieldDef {
    std::uint32_t offset;
    const char* name;  // fields without a name of their own are called "@<offset>"
    FieldType type;
    std::uint32_t count;
};

// Which record layout a payload table belongs to.
enum class LayoutTag { Both, Current, Legacy };

struct PayloadLayout {
    const char* motionName;
    LayoutTag layout;
    std::int32_t dataFormat;
    std::uint32_t size;
    std::span<const FieldDef> fields;
};

// Every known (motion kind, layout) pair.
std::span<const PayloadLayout> payloadLayouts();

// Does any table describe this motion name?
bool isDecodedMotionName(const char* name);

}  // namespace pelmora::qmxread
