#include "tool/convert/model_writer_child.h"

#include <cstring>

#include <assimp/scene.h>
#include <assimp/Exporter.hpp>

#include "platform/helper_process.h"
#include "tool/convert/checked_model_io.h"

namespace pelmora::tool {
namespace {

// The helper's side: the writer's failure, if any, goes back as the report.
int runWriter(const system::HelperReport& out, const aiScene& scene, const std::string& assimpId,
              const std::string& path, unsigned steps) {
    Assimp::Exporter exporter;
    auto* files = new CheckedModelFiles;
    exporter.SetIOHandler(files);  // the exporter owns it
    const bool exported = exporter.Export(&scene, assimpId, path, steps) == AI_SUCCESS;
    if (exported && files->failure().empty()) out.end(0);
    const char* error = exported ? files->failure().c_str() : exporter.GetErrorString();
    out.write(error, std::strlen(error));
    out.end(1);
}

}  // namespace

std::string writeModelInChild(const aiScene& scene, const std::string& assimpId, const std::string& path,
                              unsigned steps) {
    // The helper ends with the tool, however it ends: a writer left running
    // would make the staging file again after the tool took it away.
    system::HelperProcess writer;
    std::string error;
    if (!writer.start([&](const system::HelperReport& out) { return runWriter(out, scene, assimpId, path, steps); }, 0,
                      error))
        return "cannot start the writer: " + error;
    error = writer.readReportToEnd();
    const system::HelperEnd end = writer.finish(false);
    if (!end.exited)
        return "the model library's writer crashed (" + end.how +
               "); this format cannot hold this scene, choose another";
    if (end.exitStatus != 0) return error.empty() ? "the writer failed" : error;
    return {};
}

}  // namespace pelmora::tool
