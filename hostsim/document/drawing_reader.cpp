// Loading a drawing document: the JSON text is read once, value by value,
// straight into the drawing model (no tree of the whole document is built).
// Every value is checked against its expected type and range as it is taken,
// and the first bad one is reported with its JSON path. Sizes and depths from
// the document are never trusted. Members come in any order, so what refers to
// a name is checked once the name's list is known: classes before the layers
// are read (the layers wait when the classes come later), symbols when they
// are known, layers at the end.
#include <cassert>
#include <cstdint>
#include <limits>
#include <memory>
#include <new>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "hostsim/document/array_lengths.h"
#include "hostsim/document/document_text.h"
#include "hostsim/document/drawing.h"
#include "hostsim/document/drawing_names.h"
#include "hostsim/document/json_values.h"
#include "hostsim/document/text_faults.h"
#include "hostsim/document/text_hash.h"

namespace pelmora::hostsim {
namespace {

using json::fail;
using json::keyText;
using json::Path;
using json::Pending;
namespace ondemand = json::ondemand;

// The on-demand parser of Debian's simdjson (3.0.x) allocates its string
// buffer with a nothrow new and does not look at the result: without memory it
// would report success and then write through a null pointer. The buffer is a
// private member; an explicit instantiation may name it (access is not checked
// there), which lets the load see the failure and end with std::bad_alloc.
using StringBufferMember = std::unique_ptr<std::uint8_t[]> ondemand::parser::*;
StringBufferMember stringBufferMember();
template <StringBufferMember Member>
struct StringBufferAccess {
    friend StringBufferMember stringBufferMember() { return Member; }
};
template struct StringBufferAccess<&ondemand::parser::string_buf>;

// simdjson picks the code for this processor on the first parse, inside
// functions that may not throw: running out of memory there (it allocates the
// names of its implementations) would end the process. Picking it as the
// program starts, before anything is loaded, leaves the parse nothing to
// allocate but its own buffers, whose failure it reports.
[[maybe_unused]] const bool g_parserChosen = [] {
    simdjson::get_active_implementation() = simdjson::get_available_implementations().detect_best_supported();
    return true;
}();

// A polygon's vertex count reaches the plug-in as a 16-bit integer.
constexpr std::size_t kMaxPolygonPoints = 32767;
constexpr std::size_t kMaxRecordBytes = std::size_t{16} << 20;

std::string inQuotes(std::string_view text) {
    std::string quoted;
    quoted.reserve(text.size() + 2);
    quoted += '"';
    quoted += text;
    quoted += '"';
    return quoted;
}

// A name that must be in a list the document declares, checked once the list is complete.
struct PendingName {
    std::string path;
    std::string name;
};

class DrawingReader {
public:
    DrawingReader(const json::Values& values, DocumentText& text) : values_(values), text_(text) {}

    Drawing read(ondemand::document& document) {
        const Path root;
        ondemand::json_type type{};
        values_.check(document.type().get(type), root);
        if (type != ondemand::json_type::object) fail(root, "the document must be a JSON object");
        ondemand::object top;
        values_.check(document.get_object().get(top), root);

        Drawing d;
        TopLevel seen;
        values_.forEachMember(top, root, [&](std::string_view key, ondemand::value& v, const Path& p) {
            readTopMember(key, v, p, d, seen);
        });
        if (const char* after = values_.position(); after != nullptr) {
            throw DocumentError("", "not a valid JSON document: more text after the end of the document (at byte " +
                                        std::to_string(after - text_.data()) + ")");
        }
        if (!seen.versionGiven) fail(root.member("pelmoraDrawing"), "required key is missing");
        if (!classesRead_) classesAreFinal(d);  // the default list
        if (seen.layersWait) readWaitingLayers(top, root, d);
        finish(d);
        return d;
    }

private:
    // What the document's own members leave to be done after them.
    struct TopLevel {
        bool versionGiven = false;
        bool layersWait = false;
    };

    void readTopMember(std::string_view key, ondemand::value& v, const Path& p, Drawing& d, TopLevel& seen) {
        if (key == "layers") {
            // Objects name their classes: with the classes still to come, the layers wait.
            if (classesRead_) readLayers(v, p, d);
            else seen.layersWait = true;
        } else if (key == "pelmoraDrawing") {
            d.formatVersion = readFormatVersion(v, p);
            seen.versionGiven = true;
        } else if (key == "view") {
            readViewMember(v, p, d);
        } else if (key == "activeLayer") {
            activeLayer_ = std::string(values_.string(v, p));
            activeLayerGiven_ = true;
        } else if (key == "classes") {
            readClasses(v, p, d);
        } else if (key == "symbols") {
            readSymbols(v, p, d);
        } else {
            readSetting(key, v, p, d);
        }
    }

    // The drawing's settings: single values.
    void readSetting(std::string_view key, ondemand::value& v, const Path& p, Drawing& d) {
        if (key == "unitsPerInch") {
            d.unitsPerInch = values_.number(v, p);
            if (!(d.unitsPerInch > 0.0)) fail(p, "must be a positive number");
        } else if (key == "hostVersion") {
            d.hostVersion = static_cast<int>(values_.integer(v, p, 0, 255));
        } else if (key == "codePage") {
            d.codePage = static_cast<int>(values_.integer(v, p, 1, 65535));
        } else if (key == "canRun") {
            d.canRun = values_.boolean(v, p);
        } else if (key == "currentItem") {
            d.currentItem = static_cast<int>(values_.integer(v, p, 0, 3));
        } else {
            values_.ignore(v, p);
        }
    }

    // A view, or null for a drawing without one.
    void readViewMember(ondemand::value& v, const Path& p, Drawing& d) {
        if (values_.typeOf(v, p) == ondemand::json_type::null) {
            values_.ignore(v, p);
            d.view.reset();
        } else {
            d.view = readView(v, p);
        }
    }

    // A version this loader does not know is named, with those it knows: a
    // document from a newer tool is not "missing" its version.
    int readFormatVersion(ondemand::value& v, const Path& p) {
        const std::int64_t version = values_.integer(v, p, INT32_MIN, INT32_MAX);
        if (version != kDrawingFormatVersion)
            fail(p, "format version " + std::to_string(version) + " is not supported; the versions known are " +
                        kDrawingFormatVersionsKnown);
        return static_cast<int>(version);
    }

    // ------------------------------------------------------------ lists of names

    void readClasses(ondemand::value& v, const Path& p, Drawing& d) {
        if (classesRead_) fail(p, "the key is given more than once");
        ondemand::array a = values_.array(v, p);
        d.classes.clear();
        values_.forEachEntry(a, p, kMaxArrayLength, [&](ondemand::value& e, const Path& ep) {
            d.classes.emplace_back(values_.string(e, ep));
        });
        if (d.classes.empty()) fail(p, "a drawing has at least one class");
        std::unordered_set<std::string_view> seen;
        for (std::size_t k = 0; k < d.classes.size(); ++k) {
            if (!seen.insert(d.classes[k]).second) fail(p.element(k), "duplicate class " + inQuotes(d.classes[k]));
        }
        classesAreFinal(d);
    }

    // From here on the classes do not change: objects are checked against them
    // and take the first as their default.
    void classesAreFinal(const Drawing& d) {
        classesRead_ = true;
        classSet_.clear();
        classSet_.insert(d.classes.begin(), d.classes.end());
        defaultClass_ = d.classes.front();
    }

    void readSymbols(ondemand::value& v, const Path& p, Drawing& d) {
        if (symbolsRead_) fail(p, "the key is given more than once");
        ondemand::array a = values_.array(v, p);
        values_.forEachEntry(a, p, kMaxArrayLength,
                             [&](ondemand::value& e, const Path& sp) { d.symbols.push_back(readSymbol(e, sp)); });
        symbolsRead_ = true;
        for (const PendingName& pending : pendingSymbols_)
            if (symbolSet_.count(pending.name) == 0)
                throw DocumentError(pending.path, "unknown symbol " + inQuotes(pending.name));
        pendingSymbols_.clear();
    }

    Symbol readSymbol(ondemand::value& v, const Path& p) {
        ondemand::object o = values_.object(v, p);
        Symbol symbol;
        bool named = false;
        values_.forEachMember(o, p, [&](std::string_view key, ondemand::value& fv, const Path& fp) {
            if (key == "name") {
                symbol.name = std::string(values_.string(fv, fp));
                named = true;
            } else if (key == "kind") {
                symbol.kind = static_cast<std::int16_t>(values_.integer(fv, fp, INT16_MIN, INT16_MAX));
            } else {
                values_.ignore(fv, fp);
            }
        });
        const Path np = p.member("name");
        if (!named) fail(np, "required key is missing");
        if (!symbolSet_.insert(symbol.name).second) fail(np, "duplicate symbol " + inQuotes(symbol.name));
        return symbol;
    }

    // ------------------------------------------------------------ view

    View readView(ondemand::value& v, const Path& p) {
        ondemand::object o = values_.object(v, p);
        View view;
        values_.forEachMember(o, p, [&](std::string_view key, ondemand::value& fv, const Path& fp) {
            if (key == "perspective") {
                view.perspective = values_.boolean(fv, fp);
            } else if (key == "rotation") {
                readRotation(fv, fp, view);
            } else if (key == "origin") {
                view.origin = values_.point(fv, fp);
            } else if (key == "distance") {
                view.distance = values_.number(fv, fp);
            } else if (key == "focal") {
                view.focal = values_.number(fv, fp);
            } else if (key == "box") {
                readBox(fv, fp, view);
            } else {
                values_.ignore(fv, fp);
            }
        });
        return view;
    }

    // An array of exactly `size` entries, each handed to `take` with its index and path.
    template <typename Take>
    void readFixedArray(ondemand::value& v, const Path& p, std::size_t size, const char* expected, Take take) {
        if (values_.typeOf(v, p) != ondemand::json_type::array) fail(p, expected);
        ondemand::array a = values_.array(v, p);
        std::size_t count = 0;
        values_.check(a.count_elements().get(count), p);
        if (count != size) fail(p, expected);
        std::size_t i = 0;
        for (auto item : a) {
            ondemand::value e = values_.entry(std::move(item), p);
            take(i, e, p.element(i));
            ++i;
        }
    }

    void readRotation(ondemand::value& v, const Path& p, View& view) {
        readFixedArray(v, p, 3, "expected three rows of three numbers",
                       [&](std::size_t row, ondemand::value& e, const Path& at) {
                           const Point3 r = values_.point(e, at);
                           view.rotation[row] = {r.x, r.y, r.z};
                       });
    }

    void readBox(ondemand::value& v, const Path& p, View& view) {
        readFixedArray(v, p, 4, "expected an array of four numbers",
                       [&](std::size_t i, ondemand::value& e, const Path& at) { view.box[i] = values_.number(e, at); });
    }

    // ------------------------------------------------------------ layers

    // The layers met before the classes, read now: a second walk over the
    // document's members that reads nothing else.
    void readWaitingLayers(ondemand::object& top, const Path& root, Drawing& d) {
        bool any = false;
        values_.check(top.reset().get(any), root);
        std::string scratch;
        for (auto item : top) {
            ondemand::field f = values_.field(std::move(item), root);
            if (keyText(f.key(), scratch) == "layers") readLayers(f.value(), root.member("layers"), d);
        }
    }

    void readLayers(ondemand::value& v, const Path& p, Drawing& d) {
        ondemand::array a = values_.array(v, p);
        d.layers.clear();
        layerSet_.clear();
        pendingLayers_.clear();
        pendingSymbols_.clear();
        values_.forEachEntry(a, p, kMaxArrayLength,
                             [&](ondemand::value& e, const Path& lp) { d.layers.push_back(readLayer(e, lp)); });
    }

    Layer readLayer(ondemand::value& v, const Path& p) {
        ondemand::object o = values_.object(v, p);
        Layer layer;
        bool named = false;
        values_.forEachMember(o, p, [&](std::string_view key, ondemand::value& fv, const Path& fp) {
            if (key == "objects") {
                readObjects(fv, fp, layer.objects, 1);
            } else if (key == "name") {
                layer.name = std::string(values_.string(fv, fp));
                named = true;
            } else if (key == "visible") {
                layer.visible = values_.boolean(fv, fp);
            } else if (key == "elevation") {
                layer.elevation = values_.number(fv, fp);
            } else {
                values_.ignore(fv, fp);
            }
        });
        const Path np = p.member("name");
        if (!named) fail(np, "required key is missing");
        if (!layerSet_.insert(layer.name).second) fail(np, "duplicate layer " + inQuotes(layer.name));
        return layer;
    }

    // ------------------------------------------------------------ objects

    // A layer's objects or a group's members, `level` groups deep.
    void readObjects(ondemand::value& v, const Path& p, std::vector<DrawingObject>& out, int level) {
        assert(level >= 1);  // a layer's objects are level 1
        ondemand::array a = values_.array(v, p);
        // Counted first: the list is sized once instead of growing by copies
        // (the objects are most of the drawing's memory), but only once its
        // first entry has proved to be an object: a list of anything else is
        // refused without the room for millions (which a 32-bit process lacks).
        std::size_t count = 0;
        values_.check(a.count_elements().get(count), p);
        if (count > kMaxArrayLength)
            fail(p, "array of " + std::to_string(count) + " entries exceeds the limit of " +
                        std::to_string(kMaxArrayLength));
        out.clear();
        values_.forEachEntry(a, p, kMaxArrayLength, [&](ondemand::value& e, const Path& op) {
            // Nothing before this object is read again: its text can go.
            text_.releaseBefore(values_.position());
            DrawingObject object = readObject(e, op, level);
            if (out.empty()) out.reserve(count);
            out.push_back(std::move(object));
        });
    }

    static std::int16_t namedType(std::string_view name) {
        static const std::pair<std::string_view, std::int16_t> kNames[] = {
            {"group", kCodeGroup},         {"instance", kCodeInstance}, {"polygon", kCodePolygon},
            {"reference", kCodeReference}, {"light", kCodeLight},       {"end", kCodeEnd}};
        for (const auto& [text, code] : kNames)
            if (name == text) return code;
        return -1;
    }

    std::int16_t typeCode(ondemand::value& v, const Path& p) {
        const ondemand::json_type t = values_.typeOf(v, p);
        if (t == ondemand::json_type::string) {
            const std::string_view name = values_.string(v, p);
            const std::int16_t code = namedType(name);
            if (code < 0) fail(p, "unknown type name " + inQuotes(name));
            return code;
        }
        if (t != ondemand::json_type::number) fail(p, "expected a type code or a type name");
        return static_cast<std::int16_t>(values_.integer(v, p, INT16_MIN, INT16_MAX));
    }

    std::string className(ondemand::value& v, const Path& p) {
        const std::string_view name = values_.string(v, p);
        if (classSet_.find(name) == classSet_.end()) fail(p, "unknown class " + inQuotes(name));
        return std::string(name);
    }

    // What reading one object keeps besides the object itself: whether its
    // type and class were given, and what was read before the type was known.
    struct ObjectRead {
        ObjectRead(const Path& path, DrawingObject& obj) : path(path), typePath(path.member("type")), obj(obj) {}
        const Path& path;
        const Path typePath;
        DrawingObject& obj;
        bool typeKnown = false;
        bool classGiven = false;
        // The points and polygon flags read before the type (a polygon's, as
        // they mostly are), and the faults found in them, kept until it is known.
        Pending early;
        bool earlyPoints = false, earlyClosed = false, earlyVertexData = false;
    };

    // An object's members. The type decides which members are read, and it may
    // come last: the points of a polygon (the bulk of most drawings) and its
    // two flags are read before the type is known; at the first other member
    // that needs the type, the rest of the object is searched for it, and a
    // second walk goes on from that member.
    DrawingObject readObject(ondemand::value& v, const Path& p, int level) {
        ondemand::object o = values_.object(v, p);
        if (level > kMaxNestingDepth)
            fail(p, "groups nested deeper than " + std::to_string(kMaxNestingDepth) + " levels");
        DrawingObject obj;
        ObjectRead read(p, obj);
        const std::size_t stoppedAt = walkMembers(o, read, level, 0, false);
        if (stoppedAt != kWalkedAll) {
            requireType(read);
            settleEarlyMembers(read);
            bool any = false;
            values_.check(o.reset().get(any), p);
            walkMembers(o, read, level, stoppedAt, true);
        }
        requireType(read);
        if (!read.classGiven) obj.className = defaultClass_;
        return obj;
    }

    static constexpr std::size_t kWalkedAll = SIZE_MAX;

    // One walk over the object's members from the `from`th. It gives the
    // member at which it stopped for want of the type (having searched the
    // rest of the object for it), or kWalkedAll. `typeRead`: the walk after
    // that search, which passes over the type.
    std::size_t walkMembers(ondemand::object& o, ObjectRead& read, int level, std::size_t from, bool typeRead) {
        std::string scratch;
        std::size_t at = 0;
        std::size_t stoppedAt = kWalkedAll;
        for (auto item : o) {
            ondemand::field f = values_.field(std::move(item), read.path);
            const std::size_t index = at++;
            if (index < from) continue;
            const std::string_view key = keyText(f.key(), scratch);
            ondemand::value& fv = f.value();
            if (key == "type") {
                if (typeRead) continue;
                takeType(fv, read);
                if (stoppedAt == kWalkedAll) settleEarlyMembers(read);
            } else if (stoppedAt != kWalkedAll) {
                continue;  // searching the rest for the type
            } else if (!read.typeKnown && dependsOnType(key)) {
                stoppedAt = index;
            } else {
                readMember(key, fv, read, level);
            }
        }
        return stoppedAt;
    }

    void takeType(ondemand::value& v, ObjectRead& read) {
        if (read.typeKnown) fail(read.typePath, "the type is given more than once");
        read.obj.type = typeCode(v, read.typePath);
        read.typeKnown = true;
    }

    void requireType(const ObjectRead& read) {
        if (!read.typeKnown) fail(read.typePath, "required key is missing");
    }

    // The type is known: what was read early counts for polygons only.
    void settleEarlyMembers(ObjectRead& read) {
        if (read.obj.type == kCodePolygon) {
            read.early.raise();
            return;
        }
        if (read.earlyPoints) read.obj.points = {};
        if (read.earlyClosed) read.obj.closed = true;
        if (read.earlyVertexData) read.obj.vertexData = true;
    }

    // Any member but the type, whose meaning the type decides when it is known.
    void readMember(std::string_view key, ondemand::value& v, ObjectRead& read, int level) {
        const Path p = read.path.member(key);
        DrawingObject& obj = read.obj;
        const bool polygonOrUnknown = !read.typeKnown || obj.type == kCodePolygon;
        if (key == "class") {
            obj.className = className(v, p);
            read.classGiven = true;
        } else if (key == "points" && polygonOrUnknown) {
            Pending now;
            obj.points = readPoints(v, p, read.typeKnown ? now : read.early);
            now.raise();
            read.earlyPoints = !read.typeKnown;
        } else if ((key == "closed" || key == "vertexData") && polygonOrUnknown) {
            readPolygonFlag(key == "closed", v, p, read);
        } else if (key == "polygons") {
            obj.mesh.reset();
            obj.polygons = readEntries(v, p, 1);
            flattenPlainGeometry(obj);
        } else if (key == "visible") {
            obj.visible = values_.boolean(v, p);
        } else if (key == "selected") {
            obj.selected = values_.boolean(v, p);
        } else if (key == "name") {
            obj.name = std::string(values_.string(v, p));
        } else if (key == "records") {
            readRecords(v, p, obj);
        } else {
            readTypedMember(key, v, p, obj, level);
        }
    }

    // "closed" or "vertexData": before the type, a value that is not a
    // boolean is a fault only if the object turns out to be a polygon.
    void readPolygonFlag(bool closed, ondemand::value& v, const Path& p, ObjectRead& read) {
        bool& flag = closed ? read.obj.closed : read.obj.vertexData;
        if (read.typeKnown) {
            flag = values_.boolean(v, p);
            return;
        }
        (closed ? read.earlyClosed : read.earlyVertexData) = true;
        if (values_.typeOf(v, p) == ondemand::json_type::boolean) flag = values_.boolean(v, p);
        else notBoolean(v, p, read.early);
    }

    // The members only some types have; the type is known here.
    void readTypedMember(std::string_view key, ondemand::value& v, const Path& p, DrawingObject& obj, int level) {
        if (key == "members" && obj.type == kCodeGroup) {
            readObjects(v, p, obj.members, level + 1);
        } else if (key == "symbol" && obj.type == kCodeInstance) {
            obj.symbol = std::string(values_.string(v, p));
            referToSymbol(obj.symbol, p);
        } else if (key == "layer" && obj.type == kCodeReference) {
            if (values_.typeOf(v, p) == ondemand::json_type::null) {
                values_.ignore(v, p);
                obj.referredLayer.reset();
            } else {
                obj.referredLayer = std::string(values_.string(v, p));
                pendingLayers_.push_back({p.text(), *obj.referredLayer});
            }
        } else if (key == "properties" && obj.type == kCodeLight) {
            readProperties(v, p, obj);
        } else {
            values_.ignore(v, p);
        }
    }

    // Members whose meaning depends on the type, besides those read early.
    static bool dependsOnType(std::string_view key) {
        return key == "members" || key == "symbol" || key == "layer" || key == "properties";
    }

    void notBoolean(ondemand::value& v, const Path& p, Pending& pending) {
        pending.note(p, "expected true or false");
        values_.ignore(v, p);
    }

    void referToSymbol(const std::string& name, const Path& p) {
        if (!symbolsRead_) {
            pendingSymbols_.push_back({p.text(), name});
        } else if (symbolSet_.count(name) == 0) {
            fail(p, "unknown symbol " + inQuotes(name));
        }
    }

    // A fault is noted in `pending` and the rest read through; no points then.
    std::vector<Point3> readPoints(ondemand::value& v, const Path& p, Pending& pending) {
        if (values_.typeOf(v, p) != ondemand::json_type::array) {
            pending.note(p, "expected an array");
            values_.ignore(v, p);
            return {};
        }
        ondemand::array a = values_.array(v, p);
        // Gathered in a list kept from polygon to polygon, then copied to one
        // of the exact size: a polygon's points take no more than they need.
        scratchPoints_.clear();
        std::size_t i = 0;
        for (auto item : a) {
            const Path pp = p.element(i++);
            ondemand::value e = values_.entry(std::move(item), p);
            if (pending.any) {
                values_.ignore(e, pp);
                continue;
            }
            if (i > kMaxPolygonPoints) {
                pending.note(p, "array of more than " + std::to_string(kMaxPolygonPoints) +
                                    " entries exceeds the limit of " + std::to_string(kMaxPolygonPoints));
                values_.ignore(e, pp);
                continue;
            }
            Point3 point;
            if (values_.point(e, pp, point, pending)) scratchPoints_.push_back(point);
        }
        if (pending.any) return {};
        return std::vector<Point3>(scratchPoints_.begin(), scratchPoints_.end());
    }

    void readRecords(ondemand::value& v, const Path& p, DrawingObject& obj) {
        ondemand::array a = values_.array(v, p);
        obj.records.clear();
        values_.forEachEntry(a, p, kMaxArrayLength,
                             [&](ondemand::value& e, const Path& rp) { obj.records.push_back(readRecord(e, rp)); });
    }

    AuxRecord readRecord(ondemand::value& v, const Path& p) {
        ondemand::object o = values_.object(v, p);
        AuxRecord record;
        values_.forEachMember(o, p, [&](std::string_view key, ondemand::value& fv, const Path& fp) {
            if (key == "tag") {
                record.tag = recordTag(fv, fp);
            } else if (key == "hex") {
                record.bytes = bytesFromHex(values_.string(fv, fp, 2 * kMaxRecordBytes), fp);
            } else {
                values_.ignore(fv, fp);
            }
        });
        return record;
    }

    // Four characters as the tag's bytes; an integer is also taken, for tags
    // whose bytes are not printable.
    std::uint32_t recordTag(ondemand::value& v, const Path& p) {
        if (values_.typeOf(v, p) == ondemand::json_type::number)
            return static_cast<std::uint32_t>(values_.integer(v, p, 0, UINT32_MAX));
        const std::string_view text = values_.string(v, p);
        if (text.size() != 4) fail(p, "expected a tag of exactly four characters");
        return tagFromChars(text);
    }

    static std::vector<std::uint8_t> bytesFromHex(std::string_view text, const Path& p) {
        if (text.size() % 2 != 0) fail(p, "expected two hexadecimal digits a byte");
        if (text.size() / 2 > kMaxRecordBytes)
            fail(p, "record larger than " + std::to_string(kMaxRecordBytes) + " bytes");
        auto digit = [&](char c) -> int {
            if (c >= '0' && c <= '9') return c - '0';
            if (c >= 'a' && c <= 'f') return c - 'a' + 10;
            if (c >= 'A' && c <= 'F') return c - 'A' + 10;
            fail(p, "not a hexadecimal digit: '" + std::string(1, c) + "'");
        };
        std::vector<std::uint8_t> bytes(text.size() / 2);
        for (std::size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<std::uint8_t>(digit(text[2 * i]) << 4 | digit(text[2 * i + 1]));
        return bytes;
    }

    void readProperties(ondemand::value& v, const Path& p, DrawingObject& obj) {
        ondemand::object o = values_.object(v, p);
        obj.properties.clear();
        std::size_t count = 0;
        values_.forEachMember(o, p, [&](std::string_view key, ondemand::value& fv, const Path& pp) {
            if (count++ == kMaxArrayLength) fail(p, "too many properties");
            std::int32_t number = 0;
            if (!json::propertyNumber(key, number)) fail(pp, "a property key is a property number");
            obj.properties[number] = values_.propertyValue(fv, pp);
        });
    }

    // ------------------------------------------------------------ conversion geometry

    std::vector<GeometryEntry> readEntries(ondemand::value& v, const Path& p, int level) {
        ondemand::array a = values_.array(v, p);
        std::vector<GeometryEntry> result;
        values_.forEachEntry(a, p, kMaxArrayLength, [&](ondemand::value& e, const Path& ep) {
            if (level == 1) text_.releaseBefore(values_.position());
            result.push_back(readEntry(e, ep, level));
        });
        // Grown by doubling: trimmed, since the drawing keeps it.
        if (result.capacity() > result.size()) result.shrink_to_fit();
        return result;
    }

    // An entry with members is a group, whatever else it holds, and members
    // may come last: the polygon's keys are read as they come, any fault in
    // them kept until the end of the entry shows it is no group.
    GeometryEntry readEntry(ondemand::value& v, const Path& p, int level) {
        ondemand::object o = values_.object(v, p);
        GeometryEntry entry;
        Pending polygonFault;
        values_.forEachMember(o, p, [&](std::string_view key, ondemand::value& fv, const Path& fp) {
            if (key == "members") {
                if (level > kMaxNestingDepth)
                    fail(p, "geometry groups nested deeper than " + std::to_string(kMaxNestingDepth) + " levels");
                entry.isGroup = true;
                entry.members = readEntries(fv, fp, level + 1);
            } else if (entry.isGroup) {
                values_.ignore(fv, fp);
            } else {
                readEntryPolygonMember(key, fv, fp, entry, polygonFault);
            }
        });
        if (entry.isGroup) {
            // A group keeps nothing of a polygon.
            entry.points = {};
            entry.className.clear();
            entry.vertexData = entry.closed = true;
        } else {
            polygonFault.raise();
        }
        return entry;
    }

    // A polygon's member of a geometry entry; a fault is kept in `fault`
    // until the entry shows it is no group.
    void readEntryPolygonMember(std::string_view key, ondemand::value& v, const Path& p, GeometryEntry& entry,
                                Pending& fault) {
        if (key == "points") {
            entry.points = readPoints(v, p, fault);
        } else if (key == "class") {
            if (values_.typeOf(v, p) != ondemand::json_type::string) {
                fault.note(p, "expected a string");
                values_.ignore(v, p);
                return;
            }
            const std::string_view name = values_.string(v, p);
            if (classSet_.find(name) == classSet_.end()) fault.note(p, "unknown class " + inQuotes(name));
            else entry.className = std::string(name);
        } else if (key == "vertexData" || key == "closed") {
            if (values_.typeOf(v, p) == ondemand::json_type::boolean) {
                (key == "closed" ? entry.closed : entry.vertexData) = values_.boolean(v, p);
            } else {
                notBoolean(v, p, fault);
            }
        } else {
            values_.ignore(v, p);
        }
    }

    // ------------------------------------------------------------ names checked at the end

    void finish(Drawing& d) {
        for (const PendingName& pending : pendingSymbols_)
            throw DocumentError(pending.path, "unknown symbol " + inQuotes(pending.name));
        for (const PendingName& pending : pendingLayers_)
            if (layerSet_.count(pending.name) == 0)
                throw DocumentError(pending.path, "unknown layer " + inQuotes(pending.name));
        if (activeLayerGiven_) {
            if (layerSet_.count(activeLayer_) == 0)
                throw DocumentError("activeLayer", "no layer is named " + inQuotes(activeLayer_));
            d.activeLayer = std::move(activeLayer_);
        } else if (!d.layers.empty()) {
            d.activeLayer = d.layers.front().name;
        }
    }

    const json::Values& values_;
    DocumentText& text_;
    bool classesRead_ = false;
    std::unordered_set<std::string_view> classSet_;  // views of the drawing's class names
    std::string defaultClass_;
    bool symbolsRead_ = false;
    std::unordered_set<std::string> symbolSet_;
    std::unordered_set<std::string> layerSet_;
    std::vector<PendingName> pendingSymbols_;
    std::vector<PendingName> pendingLayers_;
    std::string activeLayer_;
    bool activeLayerGiven_ = false;
    std::vector<Point3> scratchPoints_;
};

[[noreturn]] void notJson(std::string_view text, simdjson::error_code error) {
    std::string why = structureFault(text, static_cast<std::size_t>(json::kMaxJsonDepth) + 1);
    if (why.empty()) why = simdjson::error_message(error);
    throw DocumentError("", "not a valid JSON document: " + why);
}

// The parser reports a document cut short or followed by more text as a fault
// of the first value it reads: named here, where the whole text is at hand
// (unless the reading gave some of it back already).
Drawing readOrNameTheFault(DocumentText& text, const json::Values& values, ondemand::document& document) {
    try {
        return DrawingReader(values, text).read(document);
    } catch (const DocumentError& error) {
        if (!error.path().empty() || !text.intact()) throw;
        const std::string why = structureFault(std::string_view(text.data(), text.size()),
                                               static_cast<std::size_t>(json::kMaxJsonDepth) + 1);
        if (why.empty()) throw;
        throw DocumentError("", "not a valid JSON document: " + why);
    }
}

Drawing parse(DocumentText& text, std::vector<std::string>* cutAtNul = nullptr) {
    const std::string_view whole(text.data(), text.size());
    if (const std::string fault = encodingFault(whole); !fault.empty()) throw DocumentError("", fault);
    // Before the parser's index of the document, which costs more than the document.
    checkArrayLengths(whole, kMaxArrayLength, static_cast<std::size_t>(json::kMaxJsonDepth) + 1);
    // The parser allocates its own tables; without memory it says so, and the
    // load ends with std::bad_alloc like any other allocation.
    ondemand::parser parser(kMaxDocumentBytes);
    const simdjson::error_code allocated = parser.allocate(text.size());
    if (allocated == simdjson::MEMALLOC || !(parser.*stringBufferMember())) throw std::bad_alloc();
    ondemand::document document;
    const simdjson::error_code error = parser.iterate(text.data(), text.size(), text.capacity()).get(document);
    if (error == simdjson::MEMALLOC) throw std::bad_alloc();
    if (error != simdjson::SUCCESS) notJson(whole, error);
    const json::Values values(document, text.data());
    Drawing drawing = readOrNameTheFault(text, values, document);
    if (cutAtNul) *cutAtNul = values.textsWithNul();
    // Names reach the plug-in in the host's code page, as a real host hands them.
    encodeNames(drawing);
    return drawing;
}

}  // namespace

Drawing parseDrawing(std::string_view jsonText) {
    if (jsonText.size() > kMaxDocumentBytes)
        throw DocumentError("", "the document is larger than " + std::to_string(kMaxDocumentBytes) + " bytes");
    DocumentText text = DocumentText::fromText(jsonText);
    return parse(text);
}

Drawing loadDrawing(const std::string& file) {
    DocumentText text = DocumentText::fromFile(file, kMaxDocumentBytes);
    return parse(text);
}

Drawing loadDrawing(const std::string& file, std::uint64_t& bytesHash, std::vector<std::string>* cutAtNul) {
    TextHasher hasher;
    DocumentText text = DocumentText::fromFile(file, kMaxDocumentBytes, &hasher);
    bytesHash = hasher.finish();
    return parse(text, cutAtNul);
}

std::string readDocumentText(const std::string& file) {
    const DocumentText text = DocumentText::fromFile(file, kMaxDocumentBytes);
    return std::string(text.data(), text.size());
}

Drawing loadDrawing(const std::string& file, std::vector<std::string>& cutAtNul) {
    DocumentText text = DocumentText::fromFile(file, kMaxDocumentBytes);
    return parse(text, &cutAtNul);
}

}  // namespace pelmora::hostsim
