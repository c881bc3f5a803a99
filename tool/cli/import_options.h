// The command-line options of a model import, shared by `export` and `import`.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include <CLI/CLI.hpp>

#include "tool/cli/commands.h"
#include "tool/import/model_import.h"

namespace pelmora::tool {

// The import's limits within reason: a process needs some memory to start at
// all, and a limit beyond any machine's memory or a day's time is none.
inline constexpr long kMinImportMemoryMiB = 64;
inline constexpr long kMaxImportMemoryMiB = 65536;
inline constexpr double kMaxImportSeconds = 86400.0;

// A number from `low` to `high` (a time above `low`, a memory size from it);
// the message says what it takes (CLI11 puts the option's name before it).
inline CLI::Validator boundedNumber(const std::string& unit, double low, double high, bool lowIncluded) {
    return CLI::Validator(
        [=](std::string& text) -> std::string {
            try {
                std::size_t used = 0;
                const double value = std::stod(text, &used);
                if (used == text.size() && (lowIncluded ? value >= low : value > low) && value <= high) return {};
            } catch (const std::exception&) {}
            char range[96];
            std::snprintf(range, sizeof range, "%s%g to %g", lowIncluded ? "from " : "above ", low, high);
            return "give a number of " + unit + " " + range + "; got " + text;
        },
        "");
}

// Registers --model-unit, --model-up, --import-time and --import-memory on
// `cmd`, hidden from the help of a build without model files; call the result
// before the run to settle the up axis.
inline std::function<void()> addModelImportOptions(CLI::App& cmd, ModelImportOptions& options) {
    auto upAxis = std::make_shared<std::string>("auto");
    const std::string group = modelFilesSupported() ? "Options" : "";
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
            "METRES"))
        ->group(group);
    cmd.add_option("--model-up", *upAxis,
                   "model files: the up axis, y or z (default auto: as the file states it (FBX), else z for Blender, "
                   "STL, PLY, 3MF and AMF files and y for the rest; Collada, 3DS, IFC and DXF come turned y-up)")
        ->check(CLI::IsMember({"auto", "y", "z"}))
        ->group(group);
    cmd.add_option("--camera", options.camera,
                   "model files: the camera the view is made of, by its name or its index from 0 (default: the "
                   "scene's own camera); an unknown one is refused with the model's list")
        ->type_name("NAME|INDEX")
        ->group(group);
    cmd.add_option("--import-time", options.seconds,
                   "model files: seconds the import may take before it is stopped (default 60, at most a day)")
        ->check(boundedNumber("seconds", 0.0, kMaxImportSeconds, false))
        ->group(group);
    cmd.add_option("--import-memory", options.memoryMiB,
                   "model files: MiB of memory the import may use before it is stopped (default 2048, from " +
                       std::to_string(kMinImportMemoryMiB) + " to " + std::to_string(kMaxImportMemoryMiB) + ")")
        ->check(boundedNumber("MiB", kMinImportMemoryMiB, kMaxImportMemoryMiB, true))
        ->group(group);
    return [upAxis, &options] { options.up = *upAxis == "y" ? UpAxis::Y : *upAxis == "z" ? UpAxis::Z : UpAxis::Auto; };
}

}  // namespace pelmora::tool
