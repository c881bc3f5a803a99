// The conversion of a QMX scene into a model file (glTF, OBJ, PLY, STL or any
// format Assimp writes), for `pelmora convert`. The Windows build has no
// model library: there it says so.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "tool/qmx/name_decoder.h"

namespace pelmora::tool {

struct ConvertOptions {
    std::string input;
    std::string output;
    std::string format;  // empty: from the output's extension
    bool ascii = false;
    bool binary = false;
    int codePage = kDefaultNameCodePage;
};

// What the output is written as.
struct OutputFormat {
    std::string assimpId;  // empty: QMX
    std::string label;
    bool gltf = false, glb = false;
    bool triangles = false;  // the format holds triangles only
    bool scene = false;      // the format has a place for the camera and lights
};

// A format of the model library by its id or, when `byExtension`, by the
// file extension it writes; none when the library has no such format.
std::optional<OutputFormat> modelLibraryFormat(const std::string& name, bool byExtension);

// Writes the QMX scene options.input as `format` into options.output; gives
// the exit status.
int convertToModel(const ConvertOptions& options, const OutputFormat& format);

}  // namespace pelmora::tool
