// A read QMX file as JSON: encoding, header (keys as in the file), and the
// node tree with motion items and decoded payloads under their field names.
#pragma once

#include <functional>
#include <string>

#include <nlohmann/json.hpp>

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

// Text as stored in the file, made valid UTF-8: kept when it already is,
// otherwise each byte taken as a Latin-1 character.
std::string displayText(const std::string& bytes);

// The shortest decimal that reads back as the same float; NaN and infinities
// give JSON null.
nlohmann::ordered_json jsonFloat(float value);

}  // namespace pelmora::qmxread
