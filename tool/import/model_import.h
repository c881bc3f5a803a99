// Imports a 3D model file (OBJ, PLY, STL, glTF/GLB and the other formats the
// Assimp library reads) into a drawing the emulated host can hold: one layer,
// one merged converted object per mesh placed in the node graph, classes from
// material or mesh names, the file's lights and its first camera.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "hostsim/document/drawing.h"
#include "tool/import/imported_material.h"

namespace pelmora::tool {

class ModelImportError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class UpAxis { Auto, Y, Z };

// The phases of an import after it starts reading the file: the conversion
// into the drawing's objects (in the importing process) and the taking over
// of the handed-over drawing (in this one).
enum class ImportPhase { Converting, TakingOver };

// Bounds of one import. A malformed model file can make the importer run
// forever or ask for any amount of memory; the import runs in a child process
// that is stopped at these limits. The defaults fit what a 32-bit host could
// hold at all: a model that needs more than 2 GiB to import would not fit
// beside the drawing in the host's address space.
inline constexpr double kDefaultImportSeconds = 60.0;
inline constexpr long kDefaultImportMemoryMiB = 2048;

struct ModelImportOptions {
    double unitMetres = 1.0;  // length of one model unit in metres
    // The camera the drawing's view is made of, by name or index from 0;
    // empty: the scene's own (tool/import/model_camera.h).
    std::string camera;
    UpAxis up = UpAxis::Auto;  // Auto: as the file states or its format holds (source_up_axis.h)
    // Told the fraction of the current phase done so far (0 to 1), and also
    // now and then while nothing advances; giving false stops the import.
    std::function<bool(double)> progress;
    // Told when a phase after the reading begins; its fraction starts at 0.
    std::function<void(ImportPhase)> phase;
    // Told each warning of an import that succeeded (names changed to fit the
    // drawing's code page), also when the import ran in a child process.
    std::function<void(const std::string&)> warning;
    // Told the material of each class that a material of the model named,
    // also when the import ran in a child process.
    std::function<void(const ImportedMaterial&)> material;
    double seconds = kDefaultImportSeconds;    // wall-clock time the import may take
    long memoryMiB = kDefaultImportMemoryMiB;  // memory the importing process may use
    // Told once the whole handoff is written, while the importer still holds
    // the file's model: a process that ends there leaves its teardown (a
    // million small blocks for a large OBJ) to the system.
    std::function<void()> handedOver;
    // When the time limit starts to count (the run's first look at the file);
    // unset: when the import starts.
    std::chrono::steady_clock::time_point startedAt{};
};

// The type code given to imported meshes: an object the host converts into
// polygons, with vertex merging.
inline constexpr std::int16_t kImportedMeshType = 24;
inline constexpr const char* kImportedLayerName = "Model";

// True when the file's extension names a format the importer reads.
bool isModelFile(const std::string& path);

// Imports in a child process bounded by the options' time and memory, which
// hands the drawing back in the binary handoff (tool/model/model_handoff.h).
// Throws ModelImportError when the file cannot be read, holds no usable
// geometry, exceeds a limit, or when the import is stopped (see `progress`).
hostsim::Drawing importModel(const std::string& path, const ModelImportOptions& options);

// Which reader takes an OBJ file: the quick one where it reads the file
// exactly as Assimp does (it leaves the rest to Assimp), or Assimp always.
enum class ObjReader { Quick, Assimp };

// The import itself, in this process and unbounded (the child's work): the
// handoff streamed into `sink` piece by piece.
void importModelInto(const std::string& path, const ModelImportOptions& options,
                     const std::function<bool(const char*, std::size_t)>& sink, ObjReader objReader = ObjReader::Quick);

// A name as the document may hold it: valid UTF-8 (a byte that is not part of
// a well-formed sequence is read as Latin-1) of at most 255 bytes, cut at a
// character boundary. The import then fits it to the drawing's code page
// (tool/model_names.h).
std::string documentName(std::string_view bytes);

}  // namespace pelmora::tool
