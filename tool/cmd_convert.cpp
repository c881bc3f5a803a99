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

#include "platform/files.h"
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
        // The name is complete before the file exists: nothing allocates
        // between its creation and its guard.
        std::string candidate = (folder / (stem + std::to_string(::getpid()) + "-" + std::to_string(attempt))).string();
        int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            return candidate;
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

    // A link named as the output stays a link: the file it points to is replaced.
    const std::string target = platform::replacementTarget(options.output);
    std::string reserved = reserveTempPath(fs::path(target));
    if (reserved.empty()) return fail("cannot create a file beside " + target);
    platform::TemporaryFile temp(std::move(reserved));
    const int result = writer.write(temp.path().c_str(), &scene);
    if (!succeeded(result)) return fail("writing " + options.output + " failed (result " + std::to_string(result) + ")");
    if (!platform::replaceFile(temp.path(), target)) return fail("cannot move the written file to " + options.output);
    temp.keep();
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
