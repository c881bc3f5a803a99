// What one export did, told to the person who ran it: the mode and where it
// came from, what the written file holds (read back with the QMX reader),
// the plug-in's messages, size and time. Printed as a few lines on stderr or
// as one JSON object.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tool/convert/name_decoder.h"

namespace pelmora::tool {

struct ExportSummary {
    // "written", "written-drawing-not-updated", "dry-run", "failed", "cancelled",
    // "stopped" (Ctrl+C) or "bad-input".
    std::string status;
    std::string drawingNotUpdated;  // why the drawing kept its old light records; empty when it did not
    int exitStatus = 0;
    std::string input;
    std::string output;
    std::optional<int> mode;
    bool modeGiven = false;  // --mode; otherwise the remembered mode was confirmed

    // What the file holds; set when it was read back.
    bool sceneRead = false;
    bool camera = false;
    int lights = 0;
    int meshes = 0;
    long long vertices = 0;
    long long polygons = 0;
    std::vector<std::string> classesWithTemplate;     // mesh names (class names) with material or texture items
    std::vector<std::string> classesWithoutTemplate;  // meshes written without any
    std::vector<std::string> textures;                // texture file names referenced, each once
    long long nonFiniteCoordinates = 0;
    long long bytes = 0;
    double seconds = 0.0;

    std::vector<std::string> messages;  // what the plug-in showed (message boxes and host messages)
    std::vector<std::string> warnings;  // the tool's warnings
    std::vector<std::string> errors;    // the tool's errors
};

// Reads the QMX file at `path` into the scene fields of `summary` (and its
// size), its names decoded by `names`. Gives false, with an error added, when
// it cannot be read.
bool readWrittenScene(const std::string& path, ExportSummary& summary, const NameDecoder& names = NameDecoder());

// A few lines for a person, without a trailing newline.
std::string summaryText(const ExportSummary& summary);
nlohmann::ordered_json summaryJson(const ExportSummary& summary);

}  // namespace pelmora::tool
