#include "tool/convert/fbx_block_sentinels.h"

#include <cstdint>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <vector>

#include "platform/path_text.h"
#include "plugin/platform/files.h"

namespace pelmora::tool {
namespace {

constexpr char kMagic[] = "Kaydara FBX Binary  ";  // then 0x00 0x1A 0x00 and the version
constexpr std::size_t kHeaderSize = 27;
constexpr std::size_t kFooterIdSize = 16;
constexpr int kMaxDepth = 64;  // the writer nests a handful of levels

struct Record {
    std::string head;  // property count, property bytes' size, name length and name
    std::string properties;
    std::vector<Record> children;
};

class Reader {
public:
    Reader(const std::string& bytes, bool wide) : bytes_(bytes), wide_(wide), recordSize_(wide ? 25 : 13) {}

    // The records from `at` up to the null record that ends the list, or to `end`.
    std::vector<Record> list(std::size_t& at, std::size_t end, int depth) {
        if (depth > kMaxDepth) throw std::runtime_error("records nested too deep");
        std::vector<Record> records;
        while (at < end) {
            if (end - at >= recordSize_ && isNullRecord(at)) {
                at += recordSize_;
                return records;
            }
            records.push_back(record(at, depth));
        }
        return records;
    }

    bool isNullRecord(std::size_t at) const {
        for (std::size_t i = 0; i < recordSize_; ++i)
            if (bytes_[at + i] != '\0') return false;
        return true;
    }
    std::size_t recordSize() const { return recordSize_; }

private:
    std::uint64_t number(std::size_t at) const {
        need(at, wide_ ? 8 : 4);
        std::uint64_t value = 0;
        for (std::size_t i = wide_ ? 8 : 4; i-- > 0;) value = value << 8 | static_cast<unsigned char>(bytes_[at + i]);
        return value;
    }
    void need(std::size_t at, std::uint64_t size) const {
        if (at > bytes_.size() || size > bytes_.size() - at) throw std::runtime_error("a record runs past the end");
    }

    Record record(std::size_t& at, int depth) {
        const std::size_t width = wide_ ? 8 : 4;
        const std::uint64_t end = number(at);
        const std::uint64_t propertyBytes = number(at + 2 * width);
        need(at + 3 * width, 1);
        const std::size_t nameLength = static_cast<unsigned char>(bytes_[at + 3 * width]);
        const std::size_t headSize = 2 * width + 1 + nameLength;
        need(at + width, headSize + propertyBytes);
        if (end > bytes_.size() || end < at + width + headSize + propertyBytes)
            throw std::runtime_error("a record's end offset is out of place");
        Record r;
        r.head = bytes_.substr(at + width, headSize);
        r.properties = bytes_.substr(at + width + headSize, static_cast<std::size_t>(propertyBytes));
        at += width + headSize + static_cast<std::size_t>(propertyBytes);
        r.children = list(at, static_cast<std::size_t>(end), depth + 1);
        if (at != end) throw std::runtime_error("a record's children do not end at its end offset");
        return r;
    }

    const std::string& bytes_;
    const bool wide_;
    const std::size_t recordSize_;
};

void putNumber(std::string& out, std::size_t at, std::uint64_t value, bool wide) {
    for (std::size_t i = 0; i < (wide ? 8u : 4u); ++i, value >>= 8) out[at + i] = static_cast<char>(value & 0xFF);
}

void write(std::string& out, const Record& r, bool wide, std::size_t nullRecordSize) {
    const std::size_t at = out.size();
    out.append(wide ? 8 : 4, '\0');
    out += r.head;
    out += r.properties;
    for (const Record& child : r.children) write(out, child, wide, nullRecordSize);
    if (!r.children.empty()) out.append(nullRecordSize, '\0');
    if (!wide && out.size() > UINT32_MAX) throw std::runtime_error("the file outgrows its 32-bit offsets");
    putNumber(out, at, out.size(), wide);
}

// After the top level's null record: the footer's id, zeros up to the next
// multiple of 16 (16 when already there), and the rest as written.
std::string footer(const std::string& bytes, std::size_t at, std::size_t newAt) {
    if (bytes.size() - at < kFooterIdSize) throw std::runtime_error("the footer is missing");
    std::size_t rest = at + kFooterIdSize;
    rest += 16 - rest % 16;
    if (rest > bytes.size()) throw std::runtime_error("the footer is cut short");
    const std::size_t newEnd = newAt + kFooterIdSize;
    return bytes.substr(at, kFooterIdSize) + std::string(16 - newEnd % 16, '\0') + bytes.substr(rest);
}

}  // namespace

std::string completeFbxBlocks(std::string& bytes) {
    if (bytes.size() < kHeaderSize || std::memcmp(bytes.data(), kMagic, sizeof kMagic - 1) != 0)
        return "not a binary FBX file";
    std::uint32_t version = 0;
    for (int i = 3; i >= 0; --i) version = version << 8 | static_cast<unsigned char>(bytes[23 + i]);
    const bool wide = version >= 7500;  // 64-bit offsets from FBX 7.5 on
    try {
        Reader reader(bytes, wide);
        std::size_t at = kHeaderSize;
        const std::vector<Record> top = reader.list(at, bytes.size(), 0);
        std::string out = bytes.substr(0, kHeaderSize);
        for (const Record& r : top) write(out, r, wide, reader.recordSize());
        out.append(reader.recordSize(), '\0');
        out += footer(bytes, at, out.size());
        bytes = std::move(out);
    } catch (const std::exception& bad) {
        return std::string("the binary FBX file cannot be completed: ") + bad.what();
    }
    return {};
}

std::string completeFbxFile(const std::string& path) {
    std::string bytes;
    if (!platform::readWholeFile(path, bytes)) return "cannot read back " + path;
    if (std::string problem = completeFbxBlocks(bytes); !problem.empty()) return path + ": " + problem;
    std::ofstream file(system::pathOf(path), std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (!file) return "cannot write " + path;
    return {};
}

}  // namespace pelmora::tool
