// Bytes as a model file of one of the formats the importer reads (the first
// byte picks the format): the import, in its child process under small time
// and memory limits, must give a drawing that the drawing document holds, or a
// refusal. A crash of this process, or a drawing that does not write out and
// load back, is a finding; a refused, endless or greedy model is not.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "hostsim/document/drawing.h"
#include "tool/import/model_import.h"

// A model may ask for any amount of memory at once: the sanitizer then gives
// null (the importer's out-of-memory refusal) instead of ending the child.
extern "C" const char* __asan_default_options() { return "allocator_may_return_null=1"; }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    namespace fs = std::filesystem;
    using namespace pelmora;
    static const char* const kExtensions[] = {".obj", ".ply", ".stl",  ".off", ".dae", ".3ds", ".gltf", ".glb",
                                              ".fbx", ".x",   ".ms3d", ".ac",  ".ase", ".smd", ".nff",  ".raw"};
    if (size == 0) return 0;
    const std::string extension = kExtensions[data[0] % (sizeof kExtensions / sizeof kExtensions[0])];
    static const fs::path folder = fs::temp_directory_path() / ("pelmora_fuzz_model_" + std::to_string(getpid()));
    fs::create_directories(folder);
    const fs::path file = folder / ("model" + extension);
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data + 1), static_cast<std::streamsize>(size - 1));
    }
    tool::ModelImportOptions options;
    options.seconds = 2.0;
    options.memoryMiB = 768;
    try {
        const hostsim::Drawing drawing = tool::importModel(file.string(), options);
        if (!(hostsim::parseDrawing(hostsim::serializeDrawing(drawing)) == drawing)) std::abort();
    } catch (const tool::ModelImportError&) {
        // A clear refusal, within the limits.
    }
    return 0;
}
