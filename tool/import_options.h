// The command-line options of a model import, shared by `export` and `import`.
#pragma once

#include <memory>
#include <string>

#include <CLI/CLI.hpp>

#include "tool/model_import.h"

namespace pelmora::tool {

// Registers --model-unit, --model-up, --import-time and --import-memory on
// `cmd`; call the result before the run to settle the up axis.
inline std::function<void()> addModelImportOptions(CLI::App& cmd, ModelImportOptions& options) {
    auto upAxis = std::make_shared<std::string>("auto");
    cmd.add_option("--model-unit", options.unitMetres, "model files: length of one model unit in metres (default 1)")
        ->check(CLI::PositiveNumber);
    cmd.add_option("--model-up", *upAxis, "model files: the up axis, y or z (default: z for STL and PLY, else y)")
        ->check(CLI::IsMember({"auto", "y", "z"}));
    cmd.add_option("--import-time", options.seconds,
                   "model files: seconds the import may take before it is stopped (default 60)")
        ->check(CLI::PositiveNumber);
    cmd.add_option("--import-memory", options.memoryMiB,
                   "model files: MiB of memory the import may use before it is stopped (default 2048)")
        ->check(CLI::Range(1L, 1L << 30));
    return [upAxis, &options] {
        options.up = *upAxis == "y" ? UpAxis::Y : *upAxis == "z" ? UpAxis::Z : UpAxis::Auto;
    };
}

}  // namespace pelmora::tool
