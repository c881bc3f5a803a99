// A read QMX file as JSON: encoding, header (keys as in the file), and the
// node tree with motion items and decoded payloads under their field names.
#pragma once

#include <functional>
#include <string>

#include <nlohmann/json.hpp>

#include "qmxread/json_sink.h"
#include "qmxread/qmx_tree.h"

namespace pelmora::qmxread {

// Turns a text as stored in the file (8-bit bytes in whatever code page its
// writer used) into UTF-8. The reader knows no code page: whoever shows the
// file may know which one its writer used.
using TextDecoder = std::function<std::string(const std::string& bytes)>;

struct JsonOptions {
    bool geometry = false;  // mesh vertices and polygons
    bool raw = false;       // every payload's bytes as hex text
    TextDecoder text{};     // empty: displayText
};

nlohmann::ordered_json toJson(const QmxFile& file, const JsonOptions& options = {});

// The same JSON piece by piece, for a tree read as it goes (TreeVisitor):
// beginJson opens the top object and writes all before "root"; beginNodeJson
// opens a node's object and its "motions" array, whose entries motionJson
// writes; the caller ends that array, writes "children" and ends the object.
void beginJson(JsonSink& out, Encoding encoding, const Header& header, const JsonOptions& options);
void beginNodeJson(JsonSink& out, const Node& node, bool legacy, const JsonOptions& options);
void motionJson(JsonSink& out, const Motion& motion, bool legacy, const JsonOptions& options);

// Text as stored in the file, made valid UTF-8: kept when it already is,
// otherwise each byte taken as a Latin-1 character.
std::string displayText(const std::string& bytes);

// The shortest decimal that reads back as the same float; NaN and infinities
// give JSON null.
nlohmann::ordered_json jsonFloat(float value);

}  // namespace pelmora::qmxread
