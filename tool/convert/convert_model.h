// The conversion of a QMX scene into a model file (glTF, OBJ, PLY, STL or any
// format Assimp writes), for `pelmora convert`. The Windows build has no
// model library: there it says so.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tool/convert/name_decoder.h"

namespace pelmora::tool {

struct ConvertOptions {
    std::string input;
    std::string output;
    std::string format;  // empty: from the output's extension
    bool ascii = false;
    bool binary = false;
    bool force = false;  // replace the output and the files written beside it
    int codePage = kDefaultNameCodePage;
    std::vector<std::string> textureFolders;  // where glTF output looks for texture pictures, in order
    // Test seam: told each moment the run reaches ("staged" once the staging
    // file or folder exists), so that a test can end the run exactly there.
    std::function<void(const char* moment)> atMoment;

    void reached(const char* moment) const {
        if (atMoment) atMoment(moment);
    }
    double lightScale = 1000.0;  // glTF lights: candela (lux) per unit of host intensity (preview/light_model.h)
};

// The encodings a format is written in: --ascii or --binary asks for one.
enum class FormatEncoding { Text, Binary, Either };

// What the output is written as.
struct OutputFormat {
    std::string assimpId;  // empty: QMX
    std::string label;
    bool gltf = false, glb = false;
    bool triangles = false;  // the format holds triangles only
    bool camera = false;     // the written file holds the camera
    bool lights = false;     // the written file holds the lights
    FormatEncoding encoding = FormatEncoding::Either;
};

// Whether `pelmora formats` lists the model library's format of this id: not
// those whose writers crash on ordinary scenes, nor those that nothing we know
// reads back (the library's own XML and JSON dumps, its STEP writer's schema).
bool offeredModelFormat(const std::string& assimpId);

// A format of the model library by its id or, when `byExtension`, by the
// file extension it writes; none when the library has no such format.
std::optional<OutputFormat> modelLibraryFormat(const std::string& name, bool byExtension);

// Writes the QMX scene options.input as `format` into options.output; gives
// the exit status. The model library's writer runs in a child process: its
// crash is reported (status 1) and leaves no file.
int convertToModel(const ConvertOptions& options, const OutputFormat& format);

}  // namespace pelmora::tool
