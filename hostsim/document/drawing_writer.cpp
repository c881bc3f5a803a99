// Writing a drawing document: every value the model holds is written so that
// loading the text gives an equal Drawing; the file is replaced atomically.
#include <cmath>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>

#include "hostsim/document/drawing.h"
#include "hostsim/document/drawing_names.h"
#include "hostsim/document/json_text.h"
#include "platform/file_attributes.h"
#include "platform/file_exchange.h"
#include "platform/file_replace.h"
#include "platform/file_status.h"
#include "platform/path_text.h"
#include "platform/process.h"

namespace pelmora::hostsim {
namespace {

// Keys are written in the JSON library's order (sorted), so that documents
// written before and after read the same to a person comparing them.

void point(JsonText& out, std::string_view key, const Point3& p) {
    out.beginArray(key);
    out.number({}, p.x);
    out.number({}, p.y);
    out.number({}, p.z);
    out.endArray();
}

void points(JsonText& out, std::string_view key, const std::vector<Point3>& list) {
    out.beginArray(key);
    for (const Point3& p : list) point(out, {}, p);
    out.endArray();
}

const char* typeName(std::int16_t type) {
    switch (type) {
        case kCodeGroup:
            return "group";
        case kCodeInstance:
            return "instance";
        case kCodePolygon:
            return "polygon";
        case kCodeReference:
            return "reference";
        case kCodeLight:
            return "light";
        case kCodeEnd:
            return "end";
        default:
            return nullptr;
    }
}

bool printableTag(std::uint32_t tag) {
    for (char c : charsFromTag(tag))
        if (c < 0x20 || c > 0x7E) return false;
    return true;
}

std::string hexOf(const std::vector<std::uint8_t>& bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (std::uint8_t b : bytes) {
        text.push_back(kDigits[b >> 4]);
        text.push_back(kDigits[b & 0xF]);
    }
    return text;
}

void entries(JsonText& out, std::string_view key, const std::vector<GeometryEntry>& list) {
    out.beginArray(key);
    for (const GeometryEntry& e : list) {
        out.beginObject();
        if (e.isGroup) {
            entries(out, "members", e.members);
        } else {
            if (!e.className.empty()) out.string("class", e.className);
            if (!e.closed) out.boolean("closed", false);
            points(out, "points", e.points);
            if (!e.vertexData) out.boolean("vertexData", false);
        }
        out.endObject();
    }
    out.endArray();
}

// As entries() writes the same polygons given as plain entries.
void meshEntries(JsonText& out, std::string_view key, const PolygonMesh& mesh) {
    out.beginArray(key);
    for (std::size_t p = 0; p < mesh.size(); ++p) {
        out.beginObject();
        out.beginArray("points");
        for (std::size_t k = 0; k < mesh.cornerCount(p); ++k) point(out, {}, mesh.corner(p, k));
        out.endArray();
        out.endObject();
    }
    out.endArray();
}

void property(JsonText& out, std::string_view key, const PropertyValue& v) {
    switch (v.kind) {
        case PropertyValue::Kind::Bool:
            out.boolean(key, v.boolValue);
            return;
        case PropertyValue::Kind::Int16:
            out.integer(key, v.intValue);
            return;
        case PropertyValue::Kind::Double:
            out.number(key, v.doubleValue);
            return;  // with a point: read back as a double
        case PropertyValue::Kind::Point:
            point(out, key, v.pointValue);
            return;
    }
    out.null(key);
}

void object(JsonText& out, const DrawingObject& o) {
    out.beginObject();
    out.string("class", o.className);
    if (o.type == kCodePolygon && !o.closed) out.boolean("closed", false);
    if (o.type == kCodeReference && o.referredLayer) out.string("layer", *o.referredLayer);
    if (o.type == kCodeGroup) {
        out.beginArray("members");
        for (const DrawingObject& m : o.members) object(out, m);
        out.endArray();
    }
    if (!o.name.empty()) out.string("name", o.name);
    if (o.type == kCodePolygon) points(out, "points", o.points);
    if (o.polygons) entries(out, "polygons", *o.polygons);
    if (o.mesh) meshEntries(out, "polygons", *o.mesh);
    if (o.type == kCodeLight) {
        // Sorted as texts, as the JSON library keeps an object's keys.
        std::map<std::string, const PropertyValue*> sorted;
        for (const auto& [number, value] : o.properties) sorted.emplace(std::to_string(number), &value);
        out.beginObject("properties");
        for (const auto& [number, value] : sorted) property(out, number, *value);
        out.endObject();
    }
    if (!o.records.empty()) {
        out.beginArray("records");
        for (const AuxRecord& r : o.records) {
            out.beginObject();
            out.string("hex", hexOf(r.bytes));
            if (printableTag(r.tag)) out.string("tag", charsFromTag(r.tag));
            else out.integer("tag", r.tag);
            out.endObject();
        }
        out.endArray();
    }
    if (o.selected) out.boolean("selected", true);
    if (o.type == kCodeInstance && !o.symbol.empty()) out.string("symbol", o.symbol);
    if (const char* name = typeName(o.type)) out.string("type", name);
    else out.integer("type", o.type);
    if (o.type == kCodePolygon && !o.vertexData) out.boolean("vertexData", false);
    if (!o.visible) out.boolean("visible", false);
    out.endObject();
}

}  // namespace

std::string serializeDrawing(const Drawing& drawing) {
    // The names back from the host's code page into the document's Unicode.
    const std::optional<Drawing> decoded = decodedNames(drawing);
    const Drawing& d = decoded ? *decoded : drawing;
    JsonText out;
    out.beginObject();
    if (!d.activeLayer.empty()) out.string("activeLayer", d.activeLayer);
    out.boolean("canRun", d.canRun);
    out.beginArray("classes");
    for (const std::string& c : d.classes) out.string({}, c);
    out.endArray();
    out.integer("codePage", d.codePage);
    out.integer("currentItem", d.currentItem);
    out.integer("hostVersion", d.hostVersion);
    out.beginArray("layers");
    for (const Layer& l : d.layers) {
        out.beginObject();
        out.number("elevation", l.elevation);
        out.string("name", l.name);
        out.beginArray("objects");
        for (const DrawingObject& o : l.objects) object(out, o);
        out.endArray();
        out.boolean("visible", l.visible);
        out.endObject();
    }
    out.endArray();
    out.integer("pelmoraDrawing", d.formatVersion);
    out.beginArray("symbols");
    for (const Symbol& s : d.symbols) {
        out.beginObject();
        out.integer("kind", s.kind);
        out.string("name", s.name);
        out.endObject();
    }
    out.endArray();
    out.number("unitsPerInch", d.unitsPerInch);
    if (d.view) {
        const View& v = *d.view;
        out.beginObject("view");
        out.beginArray("box");
        for (double b : v.box) out.number({}, b);
        out.endArray();
        out.number("distance", v.distance);
        out.number("focal", v.focal);
        point(out, "origin", v.origin);
        out.boolean("perspective", v.perspective);
        out.beginArray("rotation");
        for (const auto& row : v.rotation) {
            out.beginArray();
            for (double r : row) out.number({}, r);
            out.endArray();
        }
        out.endArray();
        out.endObject();
    } else {
        out.null("view");
    }
    out.endObject();
    return out.finish();
}

namespace {

// A hidden name beside `target` that no file has yet (".NAME.PID-N.part",
// which the tool recognises and removes once the process is gone); empty
// when none is found. The process id keeps apart the exports of a batch that
// write back the same drawing at once: a name one of them checked cannot be
// taken by another.
std::string freshNameBeside(const std::string& target) {
    const std::size_t slash = target.find_last_of(tool::system::kPathSeparators);
    const std::size_t nameAt = slash == std::string::npos ? 0 : slash + 1;
    const std::string hidden = target.substr(0, nameAt) + "." + target.substr(nameAt) + ".";
    const long process = tool::system::processId();
    static unsigned serial = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string candidate = hidden + std::to_string(process) + "-" + std::to_string(++serial) + ".part";
        if (tool::system::pathKind(candidate) == tool::system::PathKind::Missing) return candidate;
    }
    return {};
}

}  // namespace

void saveDrawingAtomically(const Drawing& drawing, const std::string& file) {
    saveTextAtomically(serializeDrawing(drawing), file);
}

void saveTextAtomically(const std::string& text, const std::string& file) {
    saveTextAtomically(text, file, [](const std::string&) { return true; });
}

namespace {

// Writes the whole text to a new file, marked as the tool's own until it
// replaces the user's; throws when it cannot.
void writeNewTextFile(const std::string& text, const std::string& temporary) {
    std::FILE* file = tool::system::openFile(temporary, "wb");
    if (!file) throw std::runtime_error("cannot create \"" + temporary + "\"");
    tool::system::markAsOurs(temporary);  // a killed run's file is then known for what it is
    // A failed flush or close is a failed write: a full disk may show only there.
    const bool written = text.empty() || std::fwrite(text.data(), text.size(), 1, file) == 1;
    const bool flushed = std::fflush(file) == 0 && std::ferror(file) == 0;
    const bool closed = std::fclose(file) == 0;
    if (!written || !flushed || !closed) throw std::runtime_error("cannot write \"" + temporary + "\"");
}

std::runtime_error notReplaced(const std::string& file) {
    std::string why = "cannot replace \"" + file + "\" with the new file";
    if (const std::string attribute = tool::system::attributeNotKept(); !attribute.empty())
        why += " (it has the extended attribute " + attribute +
               ", which could not be given to the new file; it was left as it is rather than lose it)";
    return std::runtime_error(why);
}

}  // namespace

bool saveTextAtomically(const std::string& text, const std::string& file,
                        const std::function<bool(const std::string&)>& stillWanted) {
    // Everything that can fail for want of memory happens before the file
    // exists or while its guard stands; the guard's removal cannot throw.
    std::string target;
    const auto nameBeside = [&target](const std::string& resolved) {
        target = resolved;
        return freshNameBeside(resolved);
    };
    const auto write = [&text](const std::string& temporary) {
        writeNewTextFile(text, temporary);
        return true;
    };
    switch (base::writeBesideAndReplace(file, tool::system::replaceCalls(), nameBeside, write, stillWanted)) {
        case base::Replaced::Done:
        case base::Replaced::NotWritten:  // `write` throws instead
            return true;
        case base::Replaced::Withdrawn:
            return false;
        case base::Replaced::NoTemporaryName:
            throw std::runtime_error("cannot find a free name beside \"" + target + "\"");
        case base::Replaced::NotReplaced:
            throw notReplaced(file);
    }
    return true;
}

CheckedSave saveTextIfUnchanged(const std::string& text, const std::string& file,
                                const std::function<bool(const std::string&)>& unchanged,
                                const std::function<void()>& afterCheck) {
    const std::string target = tool::system::replacementTarget(file);
    std::string name = freshNameBeside(target);
    if (name.empty()) throw std::runtime_error("cannot find a free name beside \"" + target + "\"");
    base::PartialFile partial(std::move(name), &tool::system::removeFile);
    writeNewTextFile(text, partial.path());
    if (!tool::system::prepareReplacement(partial.path(), target)) throw notReplaced(file);
    tool::system::markAsOurs(partial.path());  // the old file's attributes took the mark away
    if (!unchanged(target)) return CheckedSave::Withdrawn;
    if (afterCheck) afterCheck();
    switch (tool::system::exchangeFiles(partial.path(), target)) {
        case tool::system::Exchange::Failed:
            throw notReplaced(file);
        case tool::system::Exchange::Unsupported:
            if (!tool::system::replaceFile(partial.path(), target)) throw notReplaced(file);
            partial.keep();
            return CheckedSave::Unconfirmed;
        case tool::system::Exchange::Done:
            break;
    }
    // The partial file's name now holds the file as it was just before.
    if (!unchanged(partial.path())) {
        if (tool::system::exchangeFiles(partial.path(), target) != tool::system::Exchange::Done) {
            partial.keep();  // the changed file stays, under the temporary name
            throw std::runtime_error("\"" + file + "\" was changed while it was replaced, and could not be put back: " +
                                     "the changed file is \"" + partial.path() + "\"");
        }
        return CheckedSave::Withdrawn;  // the guard takes the new text away
    }
    tool::system::dropOurMark(target);
    return CheckedSave::Saved;  // the guard takes the old file away
}

}  // namespace pelmora::hostsim
