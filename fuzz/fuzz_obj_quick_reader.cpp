// Bytes as an OBJ file for the import's quick reader: it must give up (so that
// the general importer reads the file) or give a model whose every face has
// at least three corners that all name a position read. A crash, a hang, an
// exception or a face that points past the positions is a finding.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "tool/import/quick_obj_parse.h"

namespace {

bool facesHold(const pelmora::tool::ObjModel& model) {
    if (model.positions.size() % 3 != 0) return false;
    const std::size_t points = model.positions.size() / 3;
    for (const auto& object : model.objects) {
        for (const auto& mesh : object.meshes) {
            std::size_t corners = 0;
            for (const std::uint32_t count : mesh.counts) {
                if (count < 3) return false;
                corners += count;
            }
            if (corners != mesh.corners.size()) return false;
            for (const std::uint32_t corner : mesh.corners)
                if (corner >= points) return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    namespace fs = std::filesystem;
    static const fs::path file = fs::temp_directory_path() / ("pelmora_fuzz_obj_" + std::to_string(getpid()) + ".obj");
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    const auto model = pelmora::tool::parseSimpleObj(file.string(), [](double) { return true; });
    if (model && !facesHold(*model)) std::abort();
    return 0;
}
