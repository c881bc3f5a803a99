// The binary form in which the import child hands its drawing to the tool:
// flat arrays of points and polygon corner indices per mesh object, the lights
// with their properties, the view, the class table and the warnings, closed by
// an end record. The writer streams it out piece by piece; the reader takes it
// as untrusted input and refuses, with the byte offset, anything that does not
// add up (a size past the data, an index out of range, a name the drawing's
// code page cannot hold), never allocating more than the data can back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "hostsim/document/drawing.h"
#include "tool/import/imported_material.h"

namespace pelmora::tool {

class HandoffError : public std::runtime_error {
public:
    HandoffError(std::size_t offset, const std::string& what);
    std::size_t offset() const { return offset_; }

private:
    std::size_t offset_;
};

// How model points become drawing points: scaled into millimetres and, for a
// Y-up model, turned a quarter about X so that its up becomes the drawing's Z.
struct HandoffPlacement {
    double scale = 1000.0;
    bool yUp = false;
    hostsim::Point3 point(double x, double y, double z) const { return axes(x * scale, y * scale, z * scale); }
    hostsim::Point3 axes(double x, double y, double z) const {
        return yUp ? hostsim::Point3{x, 0.0 - z, y} : hostsim::Point3{x, y, z};
    }
};

// One mesh object as the child sends it: points in model space after the
// node transforms (placed by the reader), polygons as corner counts and
// indices into the points.
struct HandoffMesh {
    std::int16_t type = 0;
    std::uint32_t classIndex = 0;
    std::string name;
    std::vector<float> points;  // x, y, z of each point
    std::vector<std::uint32_t> counts;
    std::vector<std::uint32_t> indices;
};

// Streams the handoff into `sink`, which takes each piece (false: it could not
// be written, and the writer throws std::runtime_error).
class HandoffWriter {
public:
    using Sink = std::function<bool(const char* data, std::size_t size)>;
    HandoffWriter(Sink sink, int codePage, const HandoffPlacement& placement);
    HandoffWriter(const HandoffWriter&) = delete;
    HandoffWriter& operator=(const HandoffWriter&) = delete;

    void mesh(const HandoffMesh& mesh);
    // A light or other object without geometry: its type, class and properties.
    void object(const hostsim::DrawingObject& object, std::uint32_t classIndex);
    void view(const hostsim::View& view);
    // The material of the class of this index (its className is not sent).
    void material(const ImportedMaterial& material, std::uint32_t classIndex);
    void warning(const std::string& text);
    // The class table, the end record and the last flush.
    void finish(const std::vector<std::string>& classes);

private:
    template <typename T>
    void put(const T& value);
    void putBytes(const void* data, std::size_t size);
    void putText(const std::string& text);
    void putPoint(const hostsim::Point3& p);
    void flush();

    Sink sink_;
    std::string buffer_;
    std::uint64_t objects_ = 0;
};

// Reads a whole handoff into a drawing (one layer of the imported objects)
// and its warnings. `progress`, when given, is told the fraction read;
// `consumed`, when given, is told after each object how many bytes from the
// start the reader will not look at again (so that they can be given back).
struct HandoffResult {
    hostsim::Drawing drawing;
    std::vector<std::string> warnings;
    std::vector<ImportedMaterial> materials;  // at most one per class
};
struct HandoffReading {
    std::function<void(double)> progress;
    std::function<void(std::size_t)> consumed;
};
HandoffResult readHandoff(std::string_view bytes, const HandoffReading& reading = {});

// Limits the reader holds the handoff to.
inline constexpr std::size_t kMaxHandoffName = 255;
inline constexpr std::size_t kMaxHandoffWarning = 4096;
inline constexpr std::uint32_t kMaxHandoffCorners = 32767;  // a host polygon counts its vertices in 16 bits

}  // namespace pelmora::tool
