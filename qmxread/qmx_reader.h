// Reads a whole QMX file (BINARY or ASCII, current or legacy layout) into a
// QmxFile, checking markers, byte-sums and sizes; throws ReadError on any fault.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "qmxread/qmx_tree.h"
#include "qmxread/read_error.h"

namespace pelmora::qmxread {

inline constexpr std::int32_t kNodeMarker = -652984;  // 0xFFF60948
inline constexpr std::uint8_t kMotionMarker = 255;
inline constexpr std::size_t kDefaultMaxDepth = 256;

struct ReadOptions {
    // Decode and check the payloads of the known motion kinds and of mesh nodes.
    bool decodePayloads = true;
    // Nodes nested deeper than this (the root is at depth 0) are refused.
    std::size_t maxDepth = kDefaultMaxDepth;
    // With payloads decoded: told each mesh node's payload as it is read,
    // which the node then keeps neither decoded nor as bytes, so that a file
    // read for its figures holds one mesh at a time.
    std::function<void(const MeshPayload&)> meshRead;
};

QmxFile readQmx(std::span<const std::uint8_t> bytes, const ReadOptions& options = {});

// What a read hands over as it goes, in file order, keeping nothing: the
// header, each node once its own values and payload are read (without its
// motion items and children), each of its motion items, then its end. The
// root is at depth 0; several roots follow one another at depth 0.
class TreeVisitor {
public:
    virtual ~TreeVisitor() = default;
    virtual void header(Encoding encoding, const Header& header) = 0;
    virtual void nodeBegins(const Node& node, std::size_t depth) = 0;
    virtual void motion(const Motion& motion, std::size_t nodeDepth) = 0;
    virtual void nodeEnds(std::size_t depth) = 0;
};

// The same checks as readQmx, the tree handed to `visitor` instead of kept;
// a fault throws ReadError after the visitor has seen what came before it.
void visitQmx(std::span<const std::uint8_t> bytes, TreeVisitor& visitor, const ReadOptions& options = {});

// The file's bytes; an unreadable file throws ReadError at offset 0.
std::vector<std::uint8_t> readQmxBytes(const std::string& path);

// Reads the file whole first; an unreadable file throws ReadError at offset 0.
QmxFile readQmxFile(const std::string& path, const ReadOptions& options = {});

// The byte-sum a writer stores before a payload: unsigned bytes summed in 32 bits.
std::uint32_t byteSum(std::span<const std::uint8_t> data);

}  // namespace pelmora::qmxread
