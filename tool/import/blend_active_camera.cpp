#include "tool/import/blend_active_camera.h"

#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>
#include <vector>

namespace pelmora::tool {
namespace {

constexpr std::size_t kHeaderBytes = 12;
constexpr std::size_t kMaxFileBytes = std::size_t{1} << 30;

// The whole file, unpacked when gzip-compressed (zlib reads both).
std::string readAll(const std::string& path) {
    gzFile file = gzopen(path.c_str(), "rb");
    if (file == nullptr) return {};
    std::string bytes;
    char chunk[1 << 16];
    int n;
    while ((n = gzread(file, chunk, sizeof chunk)) > 0 && bytes.size() < kMaxFileBytes) bytes.append(chunk, n);
    gzclose(file);
    return n < 0 ? std::string() : bytes;
}

struct Block {
    std::string_view code;
    std::uint64_t address = 0;
    std::size_t offset = 0, size = 0;
};

struct Field {
    std::string name;  // without '*' and array sizes
    std::size_t offset = 0;
};

// Reads little-endian values off the bytes; every read is checked.
class Bytes {
public:
    explicit Bytes(std::string_view data) : data_(data) {}
    template <class T>
    std::optional<T> at(std::size_t offset) const {
        if (offset > data_.size() || sizeof(T) > data_.size() - offset) return std::nullopt;
        T value;
        std::memcpy(&value, data_.data() + offset, sizeof value);
        return value;
    }
    std::optional<std::uint64_t> pointer(std::size_t offset, std::size_t size) const {
        if (size == 4) {
            auto value = at<std::uint32_t>(offset);
            return value ? std::optional<std::uint64_t>(*value) : std::nullopt;
        }
        return at<std::uint64_t>(offset);
    }
    std::string_view text(std::size_t offset) const {
        if (offset >= data_.size()) return {};
        const std::string_view rest = data_.substr(offset);
        return rest.substr(0, rest.find('\0'));
    }
    std::size_t size() const { return data_.size(); }

private:
    std::string_view data_;
};

// The file's description of its records: for each record type, its fields
// with their offsets.
class Dna {
public:
    bool read(const Bytes& bytes, std::size_t at, std::size_t end, std::size_t pointerSize);
    std::optional<std::size_t> offsetOf(std::string_view type, std::string_view field) const {
        for (const auto& [name, fields] : structs_)
            if (name == type)
                for (const Field& each : fields)
                    if (each.name == field) return each.offset;
        return std::nullopt;
    }

private:
    std::vector<std::pair<std::string, std::vector<Field>>> structs_;
};

std::size_t align4(std::size_t at) { return (at + 3) & ~std::size_t{3}; }

// The strings after a four-byte mark and a count.
bool readNames(const Bytes& bytes, std::size_t& at, std::size_t end, const char* mark, std::vector<std::string>& out) {
    if (bytes.text(at).substr(0, 4) != mark) return false;
    auto count = bytes.at<std::int32_t>(at + 4);
    if (!count || *count < 0 || static_cast<std::size_t>(*count) > end - at) return false;
    at += 8;
    for (std::int32_t i = 0; i < *count; ++i) {
        if (at >= end) return false;
        out.emplace_back(bytes.text(at));
        at += out.back().size() + 1;
    }
    at = align4(at);
    return at <= end;
}

// A field's size: a pointer for "*name" and "(*name)()", else its type's
// size, times each array size.
std::size_t fieldSize(const std::string& name, std::size_t typeSize, std::size_t pointerSize) {
    std::size_t size = name[0] == '*' || name[0] == '(' ? pointerSize : typeSize;
    for (std::size_t open = name.find('['); open != std::string::npos; open = name.find('[', open + 1))
        size *= static_cast<std::size_t>(std::strtoul(name.c_str() + open + 1, nullptr, 10));
    return size;
}

std::string bareName(const std::string& name) {
    std::size_t start = name.find_first_not_of("*(");
    if (start == std::string::npos) return {};
    const std::size_t stop = name.find_first_of("[)", start);
    return name.substr(start, stop == std::string::npos ? std::string::npos : stop - start);
}

bool Dna::read(const Bytes& bytes, std::size_t at, std::size_t end, std::size_t pointerSize) {
    std::vector<std::string> names, types;
    if (bytes.text(at).substr(0, 4) != "SDNA") return false;
    at += 4;
    if (!readNames(bytes, at, end, "NAME", names) || !readNames(bytes, at, end, "TYPE", types)) return false;
    if (bytes.text(at).substr(0, 4) != "TLEN") return false;
    at += 4;
    std::vector<std::size_t> lengths;
    for (std::size_t i = 0; i < types.size(); ++i) {
        auto length = bytes.at<std::uint16_t>(at + i * 2);
        if (!length) return false;
        lengths.push_back(*length);
    }
    at = align4(at + types.size() * 2);
    if (bytes.text(at).substr(0, 4) != "STRC") return false;
    auto count = bytes.at<std::int32_t>(at + 4);
    if (!count || *count < 0) return false;
    at += 8;
    for (std::int32_t s = 0; s < *count; ++s) {
        auto type = bytes.at<std::uint16_t>(at), fields = bytes.at<std::uint16_t>(at + 2);
        if (!type || !fields || *type >= types.size()) return false;
        at += 4;
        auto& [structName, list] = structs_.emplace_back(types[*type], std::vector<Field>{});
        std::size_t offset = 0;
        for (std::uint16_t f = 0; f < *fields; ++f, at += 4) {
            auto fieldType = bytes.at<std::uint16_t>(at), fieldName = bytes.at<std::uint16_t>(at + 2);
            if (!fieldType || !fieldName || *fieldType >= lengths.size() || *fieldName >= names.size()) return false;
            list.push_back({bareName(names[*fieldName]), offset});
            offset += fieldSize(names[*fieldName], lengths[*fieldType], pointerSize);
        }
        (void)structName;
    }
    return true;
}

}  // namespace

std::string blendActiveCamera(const std::string& path) {
    const std::string data = readAll(path);
    const Bytes bytes(data);
    if (data.size() < kHeaderBytes || data.compare(0, 7, "BLENDER") != 0 || data[8] != 'v') return {};
    const std::size_t pointerSize = data[7] == '-' ? 8 : 4;
    std::vector<Block> blocks;
    const std::size_t headerSize = 16 + pointerSize;
    for (std::size_t at = kHeaderBytes; at + headerSize <= data.size();) {
        Block block;
        block.code = std::string_view(data).substr(at, 4);
        auto size = bytes.at<std::int32_t>(at + 4);
        auto address = bytes.pointer(at + 8, pointerSize);
        if (!size || !address || *size < 0 || static_cast<std::size_t>(*size) > data.size() - at - headerSize) break;
        block.address = *address;
        block.offset = at + headerSize;
        block.size = static_cast<std::size_t>(*size);
        if (block.code == std::string_view("ENDB", 4)) break;
        blocks.push_back(block);
        at = block.offset + block.size;
    }
    Dna dna;
    const Block* scene = nullptr;
    std::optional<std::uint64_t> current;
    for (const Block& block : blocks) {
        if (block.code == std::string_view("DNA1", 4) &&
            !dna.read(bytes, block.offset, block.offset + block.size, pointerSize))
            return {};
    }
    if (auto field = dna.offsetOf("FileGlobal", "curscene"))
        for (const Block& block : blocks)
            if (block.code == std::string_view("GLOB", 4)) current = bytes.pointer(block.offset + *field, pointerSize);
    for (const Block& block : blocks)
        if (block.code.substr(0, 2) == "SC" && (scene == nullptr || (current && block.address == *current)))
            scene = &block;
    const auto cameraField = dna.offsetOf("Scene", "camera");
    const auto nameField = dna.offsetOf("ID", "name");
    if (scene == nullptr || !cameraField || !nameField) return {};
    const auto camera = bytes.pointer(scene->offset + *cameraField, pointerSize);
    if (!camera || *camera == 0) return {};
    for (const Block& block : blocks) {
        if (block.address != *camera || block.code.substr(0, 2) != "OB" || block.size <= *nameField + 2) continue;
        const std::string_view name = bytes.text(block.offset + *nameField);   // the object's ID comes first
        return name.size() > 2 ? std::string(name.substr(2)) : std::string();  // less its "OB"
    }
    return {};
}

}  // namespace pelmora::tool
