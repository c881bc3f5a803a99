#include <cassert>
#include <cstdint>
#include <stdexcept>

#include "tool/import/model_handoff.h"
#include "tool/import/model_handoff_layout.h"

namespace pelmora::tool {

HandoffError::HandoffError(std::size_t offset, const std::string& what)
    : std::runtime_error("at byte " + std::to_string(offset) + ": " + what), offset_(offset) {}

HandoffWriter::HandoffWriter(Sink sink, int codePage, const HandoffPlacement& placement) : sink_(std::move(sink)) {
    buffer_.reserve(handoff::kFlushBytes + 4096);
    putBytes(handoff::kMagic, sizeof handoff::kMagic);
    put(static_cast<std::int32_t>(codePage));
    put(placement.scale);
    put(static_cast<std::uint8_t>(placement.yUp ? 1 : 0));
}

template <typename T>
void HandoffWriter::put(const T& value) {
    putBytes(&value, sizeof value);
}

void HandoffWriter::putBytes(const void* data, std::size_t size) {
    // Large arrays go straight to the sink, so that the writer never holds a
    // second copy of a mesh.
    if (size >= handoff::kFlushBytes) {
        flush();
        if (!sink_(static_cast<const char*>(data), size)) throw std::runtime_error("cannot write the handoff");
        return;
    }
    buffer_.append(static_cast<const char*>(data), size);
    if (buffer_.size() >= handoff::kFlushBytes) flush();
}

void HandoffWriter::putText(const std::string& text) {
    put(static_cast<std::uint32_t>(text.size()));
    putBytes(text.data(), text.size());
}

void HandoffWriter::putPoint(const hostsim::Point3& p) {
    put(p.x);
    put(p.y);
    put(p.z);
}

void HandoffWriter::flush() {
    if (buffer_.empty()) return;
    if (!sink_(buffer_.data(), buffer_.size())) throw std::runtime_error("cannot write the handoff");
    buffer_.clear();
}

void HandoffWriter::mesh(const HandoffMesh& mesh) {
    // The counts go out as 32-bit words.
    if (mesh.points.size() / 3 > UINT32_MAX || mesh.indices.size() > UINT32_MAX)
        throw std::length_error("a mesh of more than 4 294 967 295 points or corners");
    put(handoff::kMeshRecord);
    put(mesh.type);
    put(mesh.classIndex);
    putText(mesh.name);
    put(static_cast<std::uint32_t>(mesh.points.size() / 3));
    put(static_cast<std::uint32_t>(mesh.counts.size()));
    put(static_cast<std::uint32_t>(mesh.indices.size()));
    putBytes(mesh.points.data(), mesh.points.size() * sizeof(float));
    putBytes(mesh.counts.data(), mesh.counts.size() * sizeof(std::uint32_t));
    putBytes(mesh.indices.data(), mesh.indices.size() * sizeof(std::uint32_t));
    ++objects_;
}

void HandoffWriter::object(const hostsim::DrawingObject& object, std::uint32_t classIndex) {
    put(handoff::kObjectRecord);
    put(object.type);
    put(classIndex);
    putText(object.name);
    put(static_cast<std::uint32_t>(object.properties.size()));
    for (const auto& [number, value] : object.properties) {
        put(number);
        put(static_cast<std::uint8_t>(value.kind));
        switch (value.kind) {
            case hostsim::PropertyValue::Kind::Bool:
                put(static_cast<std::uint8_t>(value.boolValue ? 1 : 0));
                break;
            case hostsim::PropertyValue::Kind::Int16:
                put(value.intValue);
                break;
            case hostsim::PropertyValue::Kind::Double:
                put(value.doubleValue);
                break;
            case hostsim::PropertyValue::Kind::Point:
                putPoint(value.pointValue);
                break;
        }
    }
    ++objects_;
}

void HandoffWriter::view(const hostsim::View& view) {
    put(handoff::kViewRecord);
    put(static_cast<std::uint8_t>(view.perspective ? 1 : 0));
    for (const auto& row : view.rotation)
        for (double value : row) put(value);
    putPoint(view.origin);
    put(view.distance);
    put(view.focal);
    for (double value : view.box) put(value);
}

void HandoffWriter::material(const ImportedMaterial& material, std::uint32_t classIndex) {
    put(handoff::kMaterialRecord);
    put(classIndex);
    for (const float* colour : {material.diffuse, material.ambient, material.specular, material.emissive})
        for (int i = 0; i < 3; ++i) put(colour[i]);
    put(material.opacity);
    put(material.shininess);
    put(material.refraction);
}

void HandoffWriter::warning(const std::string& text) {
    put(handoff::kWarningRecord);
    assert(text.size() <= kMaxHandoffWarning);
    putText(text);
}

void HandoffWriter::finish(const std::vector<std::string>& classes) {
    put(handoff::kClassRecord);
    put(static_cast<std::uint32_t>(classes.size()));
    for (const std::string& name : classes) putText(name);
    put(handoff::kEndRecord);
    put(objects_);
    flush();
}

}  // namespace pelmora::tool
