// pelmora convert IN OUT [--ascii|--binary]: reads a QMX file and writes it
// again through the plug-in's scene writer, in the same layout and with
// byte-sums when the input has them. The output appears only when complete.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "qmxread/qmx_reader.h"
#include "scene_file/result_code.h"
#include "scene_file/scene_writer.h"
#include "tool/commands.h"
#include "tool/qmx_replay.h"

namespace pelmora::tool {

namespace {

namespace fs = std::filesystem;

struct ConvertOptions {
    std::string input;
    std::string output;
    bool ascii = false;
    bool binary = false;
};

int fail(const std::string& message) {
    std::fprintf(stderr, "pelmora convert: %s\n", message.c_str());
    return kExitFailure;
}

// Reserves a fresh name beside `target` (created empty with the usual
// permissions) for the writer to fill.
std::string reserveTempPath(const fs::path& target) {
    fs::path folder = target.parent_path();
    std::string stem = "." + target.filename().string() + ".tmp";
    for (int attempt = 0; attempt < 100; ++attempt) {
        fs::path candidate = folder / (stem + std::to_string(::getpid()) + "-" + std::to_string(attempt));
        int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
        if (fd >= 0) {
            ::close(fd);
            return candidate.string();
        }
        if (errno != EEXIST) break;
    }
    return {};
}

int runConvert(const ConvertOptions& options) {
    if (options.ascii && options.binary) return fail("give --ascii or --binary, not both");

    std::error_code ec;
    if (fs::exists(options.output, ec) && fs::equivalent(options.input, options.output, ec)) {
        return fail(options.output + " is the input file; write the conversion to another path");
    }

    qmxread::ReadOptions readOptions;
    readOptions.decodePayloads = false;  // a faithful copy needs the bytes, not their meaning
    qmxread::QmxFile file;
    try {
        file = qmxread::readQmxFile(options.input, readOptions);
    } catch (const qmxread::ReadError& error) {
        return fail(error.what());
    }
    const std::string obstacle = replayObstacle(file);
    if (!obstacle.empty()) return fail(options.input + ": cannot be written again as read: " + obstacle);

    ReplayScene scene(file);
    SceneWriter writer;
    writer.binary = options.binary || (!options.ascii && file.encoding == qmxread::Encoding::Binary);
    writer.legacy = file.header.layout == qmxread::Layout::Legacy;
    writer.checksums = file.header.checksums;

    const fs::path target(options.output);
    const std::string temp = reserveTempPath(target);
    if (temp.empty()) return fail("cannot create a file beside " + options.output);
    int result = kFailed;
    try {
        result = writer.write(temp.c_str(), &scene);
    } catch (...) {
        fs::remove(temp, ec);
        throw;
    }
    if (!succeeded(result)) {
        fs::remove(temp, ec);
        return fail("writing " + options.output + " failed (result " + std::to_string(result) + ")");
    }
    fs::rename(temp, target, ec);
    if (ec) {
        fs::remove(temp, ec);
        return fail("cannot move the written file to " + options.output);
    }
    return kExitOk;
}

}  // namespace

Runner addConvertCommand(CLI::App& app) {
    auto options = std::make_shared<ConvertOptions>();
    CLI::App* sub = app.add_subcommand("convert", "Write a QMX file again through the scene writer");
    sub->add_option("input", options->input, "QMX file to read")->required();
    sub->add_option("output", options->output, "QMX file to write")->required();
    sub->add_flag("--ascii", options->ascii, "Write the ASCII encoding");
    sub->add_flag("--binary", options->binary, "Write the BINARY encoding");
    return [options] { return runConvert(*options); };
}

}  // namespace pelmora::tool
