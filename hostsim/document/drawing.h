// The drawing document the emulated host holds: its in-memory model, the JSON
// loader that refuses malformed documents with the path of the bad value, and
// the writer whose output loads back into the same drawing.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "base/vec3.h"
#include "plugin/host/host_abi.h"

namespace pelmora::hostsim {

// A point in the host's internal unit, the millimetre (Z up).
using Point3 = base::Vec3d;

// Type codes the document may give by name (the host interface's codes).
enum ObjectCode : std::int16_t {
    kCodeEnd = host::kTypeEnd,
    kCodeGroup = host::kTypeGroup,
    kCodeInstance = host::kTypeInstance,
    kCodePolygon = host::kTypePolygon,
    kCodeReference = host::kTypeReference,
    kCodeLight = host::kTypeLight,
};

// An auxiliary record kept on an object: its tag (the four bytes in memory,
// read as a little-endian uint32) and its bytes.
struct AuxRecord {
    std::uint32_t tag = 0;
    std::vector<std::uint8_t> bytes;
    bool operator==(const AuxRecord&) const = default;
};

// Packs four characters into a tag whose bytes in memory are those characters.
std::uint32_t tagFromChars(std::string_view fourChars);
std::string charsFromTag(std::uint32_t tag);

// One entry of an object's conversion geometry: a polygon or a nested group.
struct GeometryEntry {
    bool isGroup = false;
    // Polygon entries.
    std::vector<Point3> points;
    std::string className;  // empty: the converted object's class
    bool vertexData = true;
    bool closed = true;
    // Group entries.
    std::vector<GeometryEntry> members;
    bool operator==(const GeometryEntry&) const = default;
};

// Conversion geometry made only of plain polygons (each of the converted
// object's class, closed, with vertex data), kept flat as an imported model's
// mesh comes: the points once, each polygon a run of indices into them. A
// triangle takes 16 bytes beside its share of the points, where an entry of
// its own with its own point list takes 176.
struct PolygonMesh {
    std::vector<Point3> points;
    std::vector<std::uint32_t> corners;  // indices into points, polygon after polygon
    std::vector<std::uint32_t> ends;     // polygon p's corners end at ends[p], start at ends[p - 1] (or 0)

    std::size_t size() const { return ends.size(); }
    std::uint32_t start(std::size_t polygon) const { return polygon == 0 ? 0 : ends[polygon - 1]; }
    std::uint32_t cornerCount(std::size_t polygon) const { return ends[polygon] - start(polygon); }
    const Point3& corner(std::size_t polygon, std::size_t k) const { return points[corners[start(polygon) + k]]; }
    // Polygon by polygon the same corners, however the points are shared.
    bool operator==(const PolygonMesh& other) const;
};

// A value kept on the heap, copied with its holder: an optional part that
// most objects lack costs them one pointer, not its size.
template <class T>
class Boxed {
public:
    Boxed() = default;
    Boxed(const Boxed& other) : value_(other.value_ ? std::make_unique<T>(*other.value_) : nullptr) {}
    Boxed(Boxed&&) noexcept = default;
    Boxed& operator=(const Boxed& other) {
        if (this != &other) value_ = other.value_ ? std::make_unique<T>(*other.value_) : nullptr;
        return *this;
    }
    Boxed& operator=(Boxed&&) noexcept = default;
    Boxed& operator=(T value) {
        value_ = std::make_unique<T>(std::move(value));
        return *this;
    }

    bool has_value() const { return value_ != nullptr; }
    explicit operator bool() const { return has_value(); }
    T& emplace() { return *(value_ = std::make_unique<T>()); }
    void reset() { value_.reset(); }
    T& operator*() const { return *value_; }
    T* operator->() const { return value_.get(); }

private:
    std::unique_ptr<T> value_;
};

// A light property value; the kind is what the host reports as the tag.
struct PropertyValue {
    enum class Kind { Bool, Int16, Double, Point };
    Kind kind = Kind::Double;
    bool boolValue = false;
    std::int16_t intValue = 0;
    double doubleValue = 0.0;
    Point3 pointValue;
    bool operator==(const PropertyValue&) const = default;
};

struct DrawingObject {
    std::int16_t type = 0;
    std::string className;  // resolved by the loader: never empty after loading
    bool visible = true;
    bool selected = false;
    std::string name;
    std::vector<AuxRecord> records;
    // group
    std::vector<DrawingObject> members;
    // polygon
    std::vector<Point3> points;
    bool closed = true;
    bool vertexData = true;
    // instance
    std::string symbol;
    // reference: the referred layer's name, none when it refers to nothing
    std::optional<std::string> referredLayer;
    // light: property number -> value
    std::map<std::int32_t, PropertyValue> properties;
    // conversion geometry of instances and other codes; none: no temporary object
    std::optional<std::vector<GeometryEntry>> polygons;
    // the same kept flat, when every entry is a plain polygon; never beside `polygons`
    Boxed<PolygonMesh> mesh;
    // The conversion geometry compares by what the host answers for it: a
    // mesh equals the list of plain polygon entries with the same corners.
    bool operator==(const DrawingObject& other) const;
};

// The object's conversion geometry kept as a mesh when every entry is a plain
// polygon (the points stored once per distinct value); else left as it is.
void flattenPlainGeometry(DrawingObject& object);

struct Layer {
    std::string name;
    bool visible = true;
    double elevation = 0.0;
    std::vector<DrawingObject> objects;
    bool operator==(const Layer&) const = default;
};

struct Symbol {
    std::string name;
    std::int16_t kind = 1;
    bool operator==(const Symbol&) const = default;
};

struct View {
    bool perspective = true;
    std::array<std::array<double, 3>, 3> rotation{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
    Point3 origin;
    double distance = 0.0;
    double focal = 1.0;
    std::array<double, 4> box{-1, -1, 1, 1};
    bool operator==(const View&) const = default;
};

struct Drawing {
    int formatVersion = 1;
    double unitsPerInch = 25.4;
    int hostVersion = 13;
    // The host's 8-bit code page; after loading, every name below is in it.
    int codePage = 1252;
    bool canRun = true;
    int currentItem = 2;  // 0 outside the chain, 1 header, 2 layer list, 3 third element
    std::vector<std::string> classes{"None"};
    std::optional<View> view;
    std::vector<Layer> layers;
    std::string activeLayer;  // resolved by the loader: first layer's name, empty when no layers
    std::vector<Symbol> symbols;
    bool operator==(const Drawing&) const = default;
};

// A malformed document; path() is the JSON path of the bad value, for example
// "layers[0].objects[3].points[2]" (empty for the document as a whole).
class DocumentError : public std::runtime_error {
public:
    DocumentError(std::string path, const std::string& what);
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// The versions of the drawing document this loader reads ("pelmoraDrawing").
inline constexpr int kDrawingFormatVersion = 1;
inline constexpr const char* kDrawingFormatVersionsKnown = "1";

// Limits the loader enforces on untrusted documents.
inline constexpr int kMaxNestingDepth = 64;                // group / polygon-group levels
inline constexpr std::size_t kMaxArrayLength = 4'000'000;  // entries of any one array
inline constexpr std::size_t kMaxDocumentBytes = std::size_t{1} << 30;
inline constexpr std::size_t kMaxTextBytes = 64 * 1024;  // a name or other text; not a record's hex

// Parses and validates; throws DocumentError.
Drawing parseDrawing(std::string_view jsonText);
// Reads the file and parses it; an unreadable file is a DocumentError with an empty path.
Drawing loadDrawing(const std::string& file);
// The same, and `bytesHash` is the textHash of the bytes read (hostsim/text_hash.h);
// `cutAtNul`, when given, as below.
Drawing loadDrawing(const std::string& file, std::uint64_t& bytesHash, std::vector<std::string>* cutAtNul = nullptr);
// The file's bytes, as loadDrawing reads them (the same errors).
std::string readDocumentText(const std::string& file);
// The same, telling `cutAtNul` the JSON paths of the texts that hold a NUL
// character (\u0000): the plug-in reads each only up to it, so two names
// may become one.
Drawing loadDrawing(const std::string& file, std::vector<std::string>& cutAtNul);
// Writes the drawing as a document that parses back into an equal Drawing.
std::string serializeDrawing(const Drawing& drawing);
// Writes a new file beside `file` (a UTF-8 path, as every path of the
// emulated host) and renames it over `file`; throws std::runtime_error.
void saveDrawingAtomically(const Drawing& drawing, const std::string& file);
// The same for a document's text as it is.
void saveTextAtomically(const std::string& text, const std::string& file);
// The same, asking `stillWanted` with the complete new file just before it
// replaces `file`; false when it said no, and `file` is left as it is.
bool saveTextAtomically(const std::string& text, const std::string& file,
                        const std::function<bool(const std::string&)>& stillWanted);

// How a save that must not lose a concurrent edit ended.
enum class CheckedSave {
    Saved,        // the new text replaced the file, which was still as it was read
    Withdrawn,    // the file had changed: it is left (or put back) as it was changed
    Unconfirmed,  // saved, but the system could not tell a change in the last moment
};
// Writes `text` beside `file` and puts it in its place only while
// `unchanged(path)` says that the file at `path` is still the one the text
// was made of. It is asked of the file just before, and, where the system
// swaps two files' names in one step, once more of the replaced file just
// after the swap: a change that came between the two is found there, and
// the swap undone. Where the system cannot swap, the new text is renamed over
// the file (Unconfirmed). `afterCheck` (a test seam) runs between the first
// question and the swap. Throws std::runtime_error when a file call fails.
CheckedSave saveTextIfUnchanged(const std::string& text, const std::string& file,
                                const std::function<bool(const std::string&)>& unchanged,
                                const std::function<void()>& afterCheck = {});

}  // namespace pelmora::hostsim
