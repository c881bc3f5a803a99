#include "hostsim/document/drawing_names.h"

#include <optional>
#include <string>

#include "base/utf8.h"
#include "hostsim/document/json_values.h"
#include "platform/code_page.h"

namespace pelmora::hostsim {
namespace {

using json::Path;

// Each name is handed to `convert` with the JSON path it had in the
// document, as a chain on the stack: its text is made only for an error.
// The drawing may be const, for a walk that only looks.
template <class Entries, class Convert>
void convertGeometry(Entries& entries, const Path& path, Convert& convert) {
    for (std::size_t i = 0; i < entries.size(); ++i) {
        auto& entry = entries[i];
        const Path at = path.element(i);
        if (!entry.className.empty()) convert(entry.className, at.member("class"));
        convertGeometry(entry.members, at.member("members"), convert);
    }
}

template <class Objects, class Convert>
void convertObjects(Objects& objects, const Path& path, Convert& convert) {
    for (std::size_t i = 0; i < objects.size(); ++i) {
        auto& object = objects[i];
        const Path at = path.element(i);
        convert(object.name, at.member("name"));
        convert(object.className, at.member("class"));
        if (!object.symbol.empty()) convert(object.symbol, at.member("symbol"));
        if (object.referredLayer) convert(*object.referredLayer, at.member("layer"));
        convertObjects(object.members, at.member("members"), convert);
        if (object.polygons) convertGeometry(*object.polygons, at.member("polygons"), convert);
    }
}

// Classes, symbols and layers first: a name an object refers to fails at its
// own definition, where the user wrote it.
template <class AnyDrawing, class Convert>
void convertAll(AnyDrawing& drawing, Convert convert) {
    const Path document;
    const Path classes = document.member("classes");
    for (std::size_t i = 0; i < drawing.classes.size(); ++i) convert(drawing.classes[i], classes.element(i));
    const Path symbols = document.member("symbols");
    for (std::size_t i = 0; i < drawing.symbols.size(); ++i)
        convert(drawing.symbols[i].name, symbols.element(i).member("name"));
    const Path layers = document.member("layers");
    for (std::size_t i = 0; i < drawing.layers.size(); ++i)
        convert(drawing.layers[i].name, layers.element(i).member("name"));
    for (std::size_t i = 0; i < drawing.layers.size(); ++i)
        convertObjects(drawing.layers[i].objects, layers.element(i).member("objects"), convert);
    convert(drawing.activeLayer, document.member("activeLayer"));
}

}  // namespace

void encodeNames(Drawing& drawing) {
    const int codePage = drawing.codePage;
    if (!base::knownCodePage(codePage))
        throw DocumentError("codePage", "code page " + std::to_string(codePage) +
                                            " is not one the host can take (1252 Western, 932 Japanese, 65001 UTF-8)");
    if (codePage == base::kCodePageUtf8) return;
    convertAll(drawing, [codePage](std::string& name, const Path& path) {
        if (base::isAscii(name)) return;
        std::optional<std::string> bytes = base::fromUtf8(name, codePage);
        if (!bytes)
            throw DocumentError(path.text(), "the name \"" + name + "\" cannot be written in the host's code page " +
                                                 std::to_string(codePage) +
                                                 "; rename it or give the drawing a \"codePage\" that holds it");
        name = std::move(*bytes);
    });
}

std::optional<Drawing> decodedNames(const Drawing& drawing) {
    const int codePage = drawing.codePage;
    if (codePage == base::kCodePageUtf8) return std::nullopt;
    // A copy of the whole drawing only when some name needs it.
    bool any = false;
    convertAll(drawing, [&any](const std::string& name, const Path&) { any = any || !base::isAscii(name); });
    if (!any) return std::nullopt;
    std::optional<Drawing> copy(drawing);
    convertAll(*copy, [codePage](std::string& name, const Path&) {
        if (!base::isAscii(name)) name = base::toUtf8Replacing(name, codePage);
    });
    return copy;
}

}  // namespace pelmora::hostsim
