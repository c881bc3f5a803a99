// The command-line options of a model import, shared by `export` and `import`.
#pragma once

#include <memory>
#include <string>

#include <CLI/CLI.hpp>

#include "tool/model/model_import.h"

namespace pelmora::tool {

// Registers --model-unit, --model-up, --import-time and --import-memory on
// `cmd`; call the result before the run to settle the up axis.
inline std::function<void()> addModelImportOptions(CLI::App& cmd, ModelImportOptions& options) {
    auto upAxis = std::make_shared<std::string>("auto");
    cmd.add_option("--model-unit", options.unitMetres,
                   "model files: length of one model unit in metres, such as 0.001 for millimetres (default 1)")
        ->check(CLI::Validator(
            [](std::string& text) -> std::string {
                // CLI11's own check would print the smallest double in full.
                try {
                    std::size_t used = 0;
                    const double value = std::stod(text, &used);
                    if (used == text.size() && value > 0.0 && value < 1e9) return {};
                } catch (const std::exception&) {}
                return "--model-unit must be a positive length in metres (1 for metres, 0.001 for millimetres, "
                       "0.0254 for inches); got " +
                       text;
            },
            "METRES"));
    cmd.add_option("--model-up", *upAxis, "model files: the up axis, y or z (default: z for STL and PLY, else y)")
        ->check(CLI::IsMember({"auto", "y", "z"}));
    cmd.add_option("--import-time", options.seconds,
                   "model files: seconds the import may take before it is stopped (default 60)")
        ->check(CLI::PositiveNumber);
    cmd.add_option("--import-memory", options.memoryMiB,
                   "model files: MiB of memory the import may use before it is stopped (default 2048)")
        ->check(CLI::Range(1L, 1L << 30));
    return [upAxis, &options] { options.up = *upAxis == "y" ? UpAxis::Y : *upAxis == "z" ? UpAxis::Z : UpAxis::Auto; };
}

}  // namespace pelmora::tool
