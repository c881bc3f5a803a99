#include "hostsim/drawing_names.h"

#include <functional>
#include <optional>
#include <string>

#include "hostsim/code_page.h"

namespace pelmora::hostsim {
namespace {

// Applies `convert` to each name with the JSON path it had in the document.
using NameConversion = std::function<void(std::string& name, const std::string& path)>;

std::string element(const std::string& path, std::size_t index) { return path + "[" + std::to_string(index) + "]"; }

void convertGeometry(std::vector<GeometryEntry>& entries, const std::string& path, const NameConversion& convert) {
    for (std::size_t i = 0; i < entries.size(); ++i) {
        GeometryEntry& entry = entries[i];
        const std::string at = element(path, i);
        if (!entry.className.empty()) convert(entry.className, at + ".class");
        convertGeometry(entry.members, at + ".members", convert);
    }
}

void convertObjects(std::vector<DrawingObject>& objects, const std::string& path, const NameConversion& convert) {
    for (std::size_t i = 0; i < objects.size(); ++i) {
        DrawingObject& object = objects[i];
        const std::string at = element(path, i);
        convert(object.name, at + ".name");
        convert(object.className, at + ".class");
        if (!object.symbol.empty()) convert(object.symbol, at + ".symbol");
        if (object.referredLayer) convert(*object.referredLayer, at + ".layer");
        convertObjects(object.members, at + ".members", convert);
        if (object.polygons) convertGeometry(*object.polygons, at + ".polygons", convert);
    }
}

// Classes, symbols and layers first: a name an object refers to fails at its
// own definition, where the user wrote it.
void convertAll(Drawing& drawing, const NameConversion& convert) {
    for (std::size_t i = 0; i < drawing.classes.size(); ++i) convert(drawing.classes[i], element("classes", i));
    for (std::size_t i = 0; i < drawing.symbols.size(); ++i)
        convert(drawing.symbols[i].name, element("symbols", i) + ".name");
    for (std::size_t i = 0; i < drawing.layers.size(); ++i)
        convert(drawing.layers[i].name, element("layers", i) + ".name");
    for (std::size_t i = 0; i < drawing.layers.size(); ++i)
        convertObjects(drawing.layers[i].objects, element("layers", i) + ".objects", convert);
    convert(drawing.activeLayer, "activeLayer");
}

bool ascii(const std::string& text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

}  // namespace

void encodeNames(Drawing& drawing) {
    const int codePage = drawing.codePage;
    if (!knownCodePage(codePage))
        throw DocumentError("codePage", "code page " + std::to_string(codePage) +
                                            " is not one the host can take (1252 Western, 932 Japanese, 65001 UTF-8)");
    if (codePage == kCodePageUtf8) return;
    convertAll(drawing, [codePage](std::string& name, const std::string& path) {
        if (ascii(name)) return;
        std::optional<std::string> bytes = fromUtf8(name, codePage);
        if (!bytes)
            throw DocumentError(path, "the name \"" + name + "\" cannot be written in the host's code page " +
                                          std::to_string(codePage) +
                                          "; rename it or give the drawing a \"codePage\" that holds it");
        name = std::move(*bytes);
    });
}

Drawing decodedNames(const Drawing& drawing) {
    Drawing copy = drawing;
    const int codePage = drawing.codePage;
    if (codePage == kCodePageUtf8) return copy;
    convertAll(copy, [codePage](std::string& name, const std::string&) {
        if (!ascii(name)) name = toUtf8Replacing(name, codePage);
    });
    return copy;
}

}  // namespace pelmora::hostsim
