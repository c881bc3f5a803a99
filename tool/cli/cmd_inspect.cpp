// pelmora inspect FILE [--json] [--geometry] [--raw] [--no-decode] [--code-page N]: reads a
// QMX file with the independent reader and prints its tree, or the tree as JSON, with its
// names decoded into UTF-8.
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "platform/path_text.h"
#include "qmxread/qmx_json_stream.h"
#include "qmxread/qmx_outline.h"
#include "qmxread/qmx_print.h"
#include "qmxread/qmx_reader.h"
#include "tool/cli/cli_checks.h"
#include "tool/cli/code_page_option.h"
#include "tool/cli/commands.h"
#include "tool/convert/name_decoder.h"
#include "tool/output/tool_message.h"

namespace pelmora::tool {

namespace {

struct InspectOptions {
    std::string file;
    bool json = false;
    bool geometry = false;
    bool raw = false;
    bool noDecode = false;
    int codePage = kDefaultNameCodePage;
};

int runInspect(const InspectOptions& options) {
    std::error_code missing;
    std::string narrow;  // as the reader opens it (ANSI on Windows)
    // Bad input, as for export and convert.
    if (!std::filesystem::exists(system::pathOf(options.file), missing))
        return toolRefusal(kExitUsage, "inspect", options.file + ": no such file", options.json);
    if (!system::narrowPath(options.file, narrow))
        return toolRefusal(kExitUsage, "inspect", system::narrowPathRefusal(options.file), options.json);
    // Checked whole first, so that a faulty file prints nothing but the fault;
    // then written as it is read again, without a tree of it in memory.
    std::vector<std::uint8_t> bytes;
    qmxread::ReadOptions readOptions;
    readOptions.decodePayloads = !options.noDecode;
    qmxread::QmxOutline outline;
    try {
        bytes = qmxread::readQmxBytes(narrow);
        try {
            outline = qmxread::outlineQmx(bytes, readOptions);
        } catch (const qmxread::ReadError& error) {
            throw qmxread::ReadError(narrow + ": " + error.what(), error.offset(), error.line());
        }
    } catch (const qmxread::ReadError& error) {
        std::fprintf(stderr, "pelmora inspect: %s\n", error.what());
        return kExitFailure;
    }
    const NameDecoder names(options.codePage);
    if (options.json) {
        qmxread::JsonOptions jsonOptions;
        jsonOptions.geometry = options.geometry;
        jsonOptions.raw = options.raw;
        jsonOptions.text = names.textDecoder();
        qmxread::writeJsonText(std::cout, bytes, outline, readOptions, jsonOptions);
    } else {
        qmxread::PrintOptions printOptions;
        printOptions.geometry = options.geometry;
        printOptions.text = names.textDecoder();
        qmxread::printTree(std::cout, bytes, readOptions, printOptions);
    }
    std::cout.flush();
    if (!std::cout) {
        std::fprintf(stderr, "pelmora inspect: cannot write the output\n");
        return kExitFailure;
    }
    return kExitOk;
}

}  // namespace

Runner addInspectCommand(CLI::App& app) {
    auto options = std::make_shared<InspectOptions>();
    CLI::App* sub = app.add_subcommand(
        "inspect",
        "Read a QMX file and print its tree, names decoded into UTF-8 (host names from --code-page, 1252 by default; "
        "the plug-in's camera and light names always from 932)");
    sub->add_option("file", options->file, "QMX file to read")->required()->check(existingFile("a QMX file"));
    sub->add_flag("--json", options->json, "Print the tree as JSON");
    sub->add_flag("--geometry", options->geometry, "Include mesh vertices and polygons");
    sub->add_flag("--raw", options->raw, "Include every payload's bytes as hex (JSON)");
    sub->add_flag("--no-decode", options->noDecode,
                  "Leave payloads undecoded (a payload that does not match its kind's layout is then no error)");
    addCodePageOption(*sub, options->codePage);
    return [options] { return runInspect(*options); };
}

}  // namespace pelmora::tool
