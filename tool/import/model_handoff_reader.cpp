#include <cmath>
#include <cstring>
#include <set>

#include "platform/code_page.h"
#include "tool/import/model_handoff.h"
#include "tool/import/model_handoff_layout.h"
#include "tool/import/model_import.h"

namespace pelmora::tool {
namespace {

using hostsim::Point3;

// Reads values off the handoff; each read checks that the bytes are there.
class Cursor {
public:
    explicit Cursor(std::string_view bytes) : bytes_(bytes) {}

    std::size_t offset() const { return offset_; }
    std::size_t left() const { return bytes_.size() - offset_; }
    bool atEnd() const { return offset_ == bytes_.size(); }

    [[noreturn]] void fail(const std::string& what) const { throw HandoffError(offset_, what); }

    template <typename T>
    T get() {
        T value;
        std::memcpy(&value, take(sizeof value, "a value"), sizeof value);
        return value;
    }
    double finite() {
        const double value = get<double>();
        if (!std::isfinite(value)) fail("a number that is not finite");
        return value;
    }
    Point3 point() {
        Point3 p;
        p.x = finite();
        p.y = finite();
        p.z = finite();
        return p;
    }
    std::string text(std::size_t limit) {
        const auto size = get<std::uint32_t>();
        if (size > limit) fail("a text of " + std::to_string(size) + " bytes, more than " + std::to_string(limit));
        return std::string(take(size, "a text"), size);
    }
    // `count` items of `itemSize` bytes, refused before anything is made of
    // them when the data is shorter.
    const char* array(std::uint64_t count, std::size_t itemSize, const char* what) {
        expect(count, itemSize, what);
        return take(static_cast<std::size_t>(count) * itemSize, what);
    }
    // Refuses `count` items of at least `itemSize` bytes that the data cannot hold.
    void expect(std::uint64_t count, std::size_t itemSize, const char* what) const {
        if (count > left() / itemSize)
            fail(std::to_string(count) + " " + what + " announced, more than the data holds");
    }

private:
    const char* take(std::size_t size, const char* what) {
        if (size > left()) fail(std::string("the data ends inside ") + what);
        const char* at = bytes_.data() + offset_;
        offset_ += size;
        return at;
    }

    std::string_view bytes_;
    std::size_t offset_ = 0;
};

std::uint32_t wordAt(const char* base, std::size_t i) {
    std::uint32_t value;
    std::memcpy(&value, base + i * sizeof value, sizeof value);
    return value;
}

class Reader {
public:
    Reader(std::string_view bytes, const HandoffReading& reading)
        : in_(bytes), total_(bytes.size()), reading_(reading) {}

    HandoffResult run() {
        header();
        hostsim::Layer layer;
        layer.name = kImportedLayerName;
        result_.drawing.layers.push_back(std::move(layer));
        result_.drawing.activeLayer = kImportedLayerName;
        while (record()) {}
        if (!in_.atEnd()) in_.fail("data after the end record");
        return std::move(result_);
    }

private:
    void header() {
        const char* mark = in_.array(1, sizeof handoff::kMagic, "the mark");
        if (std::memcmp(mark, handoff::kMagic, sizeof handoff::kMagic) != 0) in_.fail("not an import handoff");
        const auto codePage = in_.get<std::int32_t>();
        if (!base::knownCodePage(codePage)) in_.fail("unknown code page " + std::to_string(codePage));
        result_.drawing.codePage = codePage;
        placement_.scale = in_.finite();
        if (!(placement_.scale > 0.0)) in_.fail("a scale that is not positive");
        const auto yUp = in_.get<std::uint8_t>();
        if (yUp > 1) in_.fail("a Y-up mark other than 0 or 1");
        placement_.yUp = yUp == 1;
    }

    // False after the end record.
    bool record() {
        const auto tag = in_.get<std::uint8_t>();
        if (classesRead_ && tag != handoff::kEndRecord) in_.fail("a record after the class table");
        switch (tag) {
            case handoff::kMeshRecord:
                mesh();
                return true;
            case handoff::kObjectRecord:
                object();
                return true;
            case handoff::kViewRecord:
                view();
                return true;
            case handoff::kMaterialRecord:
                material();
                return true;
            case handoff::kWarningRecord:
                result_.warnings.push_back(in_.text(kMaxHandoffWarning));
                return true;
            case handoff::kClassRecord:
                classes();
                return true;
            case handoff::kEndRecord:
                end();
                return false;
            default:
                in_.fail("unknown record " + std::to_string(tag));
        }
    }

    std::string name() {
        std::string text = in_.text(kMaxHandoffName);
        // As the importer makes them: text of the code page, written the way
        // the code page writes it (some characters have two byte sequences).
        const int codePage = result_.drawing.codePage;
        const auto utf8 = base::toUtf8(text, codePage);
        if (!utf8 || base::fromUtf8(*utf8, codePage) != text)
            in_.fail("a name that is not text of code page " + std::to_string(codePage));
        return text;
    }

    hostsim::DrawingObject& newObject(std::int16_t expectedType) {
        const auto type = in_.get<std::int16_t>();
        if (type != expectedType) in_.fail("object type " + std::to_string(type));
        objectClasses_.push_back(in_.get<std::uint32_t>());
        auto& objects = result_.drawing.layers.front().objects;
        objects.emplace_back().type = type;
        objects.back().name = name();
        return objects.back();
    }

    void mesh() {
        hostsim::DrawingObject& object = newObject(kImportedMeshType);
        const auto pointCount = in_.get<std::uint32_t>();
        const auto polygonCount = in_.get<std::uint32_t>();
        const auto cornerCount = in_.get<std::uint32_t>();
        if (polygonCount == 0) in_.fail("a mesh without polygons");
        if (polygonCount > hostsim::kMaxArrayLength)
            in_.fail(std::to_string(polygonCount) + " polygons in one object, more than a drawing holds (" +
                     std::to_string(hostsim::kMaxArrayLength) + ")");
        const std::size_t start = in_.offset();
        const char* floats = in_.array(std::uint64_t{pointCount} * 3, sizeof(float), "point coordinates");
        const char* counts = in_.array(polygonCount, sizeof(std::uint32_t), "polygon sizes");
        const std::size_t indexStart = in_.offset();
        const char* indices = in_.array(cornerCount, sizeof(std::uint32_t), "corner indices");
        // Straight into the drawing's flat form: the points once, the corner
        // indices as given, nothing per polygon but where it ends.
        hostsim::PolygonMesh& mesh = object.mesh.emplace();
        mesh.points = placedPoints(floats, pointCount);
        // Bytes as given, so unaligned: copied, not read in place. An empty
        // list has no storage to copy into (memcpy may not be given null).
        mesh.corners.resize(cornerCount);
        if (cornerCount > 0)
            std::memcpy(mesh.corners.data(), indices, std::size_t{cornerCount} * sizeof(std::uint32_t));
        mesh.ends.resize(polygonCount);
        std::vector<bool> usable = usablePoints(mesh.points);
        std::uint32_t corner = 0;
        for (std::uint32_t p = 0; p < polygonCount; ++p) {
            const std::uint32_t size = wordAt(counts, p);
            if (size < 3 || size > kMaxHandoffCorners || size > cornerCount - corner)
                throw HandoffError(indexStart, "polygon " + std::to_string(p) + " of " + std::to_string(size) +
                                                   " corners does not fit the corner list");
            for (const std::uint32_t end = corner + size; corner < end; ++corner) {
                const std::uint32_t index = mesh.corners[corner];
                if (index >= pointCount || !usable[index])
                    throw HandoffError(indexStart + std::size_t{corner} * 4,
                                       "corner index " + std::to_string(index) + " names no usable point");
            }
            mesh.ends[p] = corner;
            if ((p & 0xFFFF) == 0xFFFF)
                report(static_cast<double>(start) + static_cast<double>(in_.offset() - start) * p / polygonCount);
        }
        if (corner != cornerCount) throw HandoffError(indexStart, "corner indices that no polygon uses");
        report(static_cast<double>(in_.offset()));
        if (reading_.consumed) reading_.consumed(in_.offset());
    }

    std::vector<Point3> placedPoints(const char* floats, std::uint32_t count) const {
        std::vector<Point3> points(count);
        for (std::uint32_t i = 0; i < count; ++i) {
            float xyz[3];
            std::memcpy(xyz, floats + std::size_t{i} * sizeof xyz, sizeof xyz);
            points[i] = placement_.point(xyz[0], xyz[1], xyz[2]);
        }
        return points;
    }

    // A point whose placement overflowed names no vertex the host could give.
    static std::vector<bool> usablePoints(const std::vector<Point3>& points) {
        std::vector<bool> usable(points.size());
        for (std::size_t i = 0; i < points.size(); ++i)
            usable[i] = std::isfinite(points[i].x) && std::isfinite(points[i].y) && std::isfinite(points[i].z);
        return usable;
    }

    void object() {
        hostsim::DrawingObject& object = newObject(hostsim::kCodeLight);
        const auto count = in_.get<std::uint32_t>();
        for (std::uint32_t i = 0; i < count; ++i) {
            const auto number = in_.get<std::int32_t>();
            hostsim::PropertyValue value;
            switch (in_.get<std::uint8_t>()) {
                case 0:
                    value.kind = hostsim::PropertyValue::Kind::Bool;
                    value.boolValue = in_.get<std::uint8_t>() != 0;
                    break;
                case 1:
                    value.kind = hostsim::PropertyValue::Kind::Int16;
                    value.intValue = in_.get<std::int16_t>();
                    break;
                case 2:
                    value.kind = hostsim::PropertyValue::Kind::Double;
                    value.doubleValue = in_.finite();
                    break;
                case 3:
                    value.kind = hostsim::PropertyValue::Kind::Point;
                    value.pointValue = in_.point();
                    break;
                default:
                    in_.fail("unknown property kind");
            }
            if (!object.properties.emplace(number, value).second)
                in_.fail("property " + std::to_string(number) + " given twice");
        }
    }

    void view() {
        if (result_.drawing.view) in_.fail("a second view");
        hostsim::View view;
        const auto perspective = in_.get<std::uint8_t>();
        if (perspective > 1) in_.fail("a perspective mark other than 0 or 1");
        view.perspective = perspective == 1;
        for (auto& row : view.rotation)
            for (double& value : row) value = in_.finite();
        view.origin = in_.point();
        view.distance = in_.finite();
        view.focal = in_.finite();
        for (double& value : view.box) value = in_.finite();
        result_.drawing.view = view;
    }

    // Colours and opacity from 0 to 1, shininess and refraction not negative;
    // the class is checked against the class table when it comes.
    void material() {
        const auto classIndex = in_.get<std::uint32_t>();
        float values[handoff::kMaterialFloats];
        for (float& value : values) {
            const std::size_t at = in_.offset();
            value = in_.get<float>();
            if (!std::isfinite(value) || value < 0.0f) throw HandoffError(at, "a material value that is not usable");
        }
        ImportedMaterial& out = result_.materials.emplace_back();
        float* colours[] = {out.diffuse, out.ambient, out.specular, out.emissive};
        for (int c = 0; c < 4; ++c)
            for (int i = 0; i < 3; ++i) colours[c][i] = values[c * 3 + i];
        out.opacity = values[12];
        out.shininess = values[13];
        out.refraction = values[14];
        for (int i = 0; i < 13; ++i)
            if (values[i] > 1.0f) in_.fail("a material colour or opacity above 1");
        materialClasses_.push_back(classIndex);
    }

    void classes() {
        const auto count = in_.get<std::uint32_t>();
        if (count == 0) in_.fail("an empty class table");
        in_.expect(count, sizeof(std::uint32_t), "classes");  // each needs its length at least
        std::set<std::string> seen;
        auto& list = result_.drawing.classes;
        list.clear();
        for (std::uint32_t i = 0; i < count; ++i) {
            list.push_back(name());
            if (!seen.insert(list.back()).second) in_.fail("class " + list.back() + " given twice");
        }
        auto& objects = result_.drawing.layers.front().objects;
        for (std::size_t i = 0; i < objects.size(); ++i) {
            if (objectClasses_[i] >= count)
                in_.fail("object " + std::to_string(i) + " names class " + std::to_string(objectClasses_[i]) + " of " +
                         std::to_string(count));
            objects[i].className = list[objectClasses_[i]];
        }
        std::set<std::uint32_t> withMaterial;
        for (std::size_t i = 0; i < materialClasses_.size(); ++i) {
            if (materialClasses_[i] >= count || !withMaterial.insert(materialClasses_[i]).second)
                in_.fail("material " + std::to_string(i) + " names class " + std::to_string(materialClasses_[i]) +
                         " of " + std::to_string(count) + " or one that has a material already");
            result_.materials[i].className = list[materialClasses_[i]];
        }
        classesRead_ = true;
    }

    void end() {
        if (!classesRead_) in_.fail("the end before the class table");
        const auto objects = in_.get<std::uint64_t>();
        if (objects != result_.drawing.layers.front().objects.size())
            in_.fail("the end counts " + std::to_string(objects) + " objects, the data holds " +
                     std::to_string(result_.drawing.layers.front().objects.size()));
        if (objects == 0) in_.fail("no objects");
    }

    void report(double offset) {
        if (reading_.progress) reading_.progress(offset / static_cast<double>(total_));
    }

    Cursor in_;
    std::size_t total_;
    const HandoffReading& reading_;
    HandoffPlacement placement_;
    HandoffResult result_;
    std::vector<std::uint32_t> objectClasses_;
    std::vector<std::uint32_t> materialClasses_;
    bool classesRead_ = false;
};

}  // namespace

HandoffResult readHandoff(std::string_view bytes, const HandoffReading& reading) {
    return Reader(bytes, reading).run();
}

}  // namespace pelmora::tool
