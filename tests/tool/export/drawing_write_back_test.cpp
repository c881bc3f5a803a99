// The drawing written back after an export: only its light records change,
// an edit saved during the export is kept (also in the last moment before the
// replacement), a read-only or hard-linked drawing is left alone, and neither
// two exports of one drawing at once nor a signal at any moment loses a light
// id an output carries.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <cstring>
#include <filesystem>
#include <set>

#include "hostsim/document/drawing.h"
#include "qmxread/qmx_reader.h"
#include "tests/support/temp_folder.h"
#include "tests/tool/common/tool_runner.h"
#include "tool/export/export_run.h"

namespace pelmora {
namespace {

using exporttest::finishTool;
using exporttest::listFolder;
using exporttest::readFile;
using exporttest::runTool;
using exporttest::startTool;
using exporttest::TempFolder;
using exporttest::ToolOptions;
using exporttest::ToolResult;
using exporttest::writeFile;
using Strings = std::vector<std::string>;
using namespace exporttest::outcome;

constexpr int kExitDrawingNotUpdated = 4;

// Keys the format does not use at every level, spacing of its own, numbers as a person writes them.
const std::string kDrawing = R"({ "author" : "me", "pelmoraDrawing":1,
  "unitsPerInch":25.40,   "classes": ["None"], "activeLayer": "Upper",
  "layers": [
    {"name":"Ground", "colour":"green", "elevation": 1.50, "objects": [
      {"type":"polygon", "selected": true, "points": [[0,0,0],[1000,0,0],[1000,0,2500.0]], "tags": {"a": [1, 2]}},
      {"type": "light", "name": "Sun", "properties": {"51": 1.50, "54": [0,-3000,5000], "55": 0}, "note": "x"}
    ]},
    {"name":"Upper", "objects": [
      {"type": "polygon", "points": [[0,0,0],[1000,0,0],[1000,1000,0]]},
      {"type": "light", "name": "Lamp A", "properties": {"54": [0,0,2000], "55": 1}},
      {"type": "light", "name": "Lamp B", "properties": {"54": [500,0,2000], "55": 1}}
    ]}
  ]
}
)";

// The text with every records list the write-back added taken out again.
std::string withoutAddedRecords(std::string text) {
    for (std::size_t at; (at = text.find(", \"records\": [")) != std::string::npos;)
        text.erase(at, text.find(']', at) + 1 - at);
    return text;
}

// The light ids a QMX file carries (a light node's id is its light id + 1).
std::set<std::int32_t> idsInOutput(const std::string& path) {
    std::set<std::int32_t> ids;
    const auto visit = [&](const auto& self, const qmxread::Node& node) -> void {
        if (node.type == qmxread::kLightNode) ids.insert(static_cast<std::int32_t>(node.id) - 1);
        for (const auto& child : node.children) self(self, child);
    };
    for (const auto& root : qmxread::readQmxFile(path).roots) visit(visit, root);
    return ids;
}

std::set<std::int32_t> idsInDrawing(const std::string& path) {
    std::set<std::int32_t> ids;
    for (const auto& layer : hostsim::loadDrawing(path).layers)
        for (const auto& object : layer.objects)
            for (const auto& record : object.records) {
                std::int32_t id = 0;
                if (record.bytes.size() >= 132) std::memcpy(&id, record.bytes.data() + 128, 4);
                ids.insert(id);
            }
    return ids;
}

class DrawingWriteBack : public ::testing::Test {
protected:
    void SetUp() override {
        hostDir_ = folder_ / "host";
        std::filesystem::create_directories(hostDir_ + "/Pelmora");
        drawing_ = folder_ / "drawing.json";
        writeFile(drawing_, kDrawing);
    }
    Strings exportArgs(const std::string& output, const std::string& mode) const {
        return {"export", drawing_, "-o", folder_ / output, "--host-dir", hostDir_, "--mode", mode, "--force"};
    }
    ToolResult exportOnce(const ToolOptions& options = {}, const Strings& extra = {}) {
        Strings args = exportArgs("scene.qmx", "2");
        args.insert(args.end(), extra.begin(), extra.end());
        return runTool(args, options);
    }

    TempFolder folder_;
    std::string hostDir_, drawing_;
};

TEST_F(DrawingWriteBack, OnlyTheLightRecordsAreAddedToTheUsersText) {
    ToolResult r = exportOnce();
    ASSERT_EQ(r.status, kExitOk) << r.err;
    const std::string written = readFile(drawing_);
    EXPECT_EQ(occurrences(written, "\"records\""), 3);
    EXPECT_EQ(withoutAddedRecords(written), kDrawing);
    EXPECT_EQ(idsInDrawing(drawing_), idsInOutput(folder_ / "scene.qmx"));
    EXPECT_EQ(listFolder(folder_.path().string()), (Strings{"drawing.json", "host", "scene.qmx"}))
        << "no lock or temporary file left";

    r = exportOnce();  // the ids found again: nothing to write
    ASSERT_EQ(r.status, kExitOk) << r.err;
    EXPECT_EQ(readFile(drawing_), written);
}

TEST_F(DrawingWriteBack, AReadOnlyDrawingIsLeftAloneAndTheOutputWritten) {
    ASSERT_EQ(::chmod(drawing_.c_str(), 0444), 0);
    ToolResult r = exportOnce({}, {"--json"});
    EXPECT_EQ(r.status, kExitDrawingNotUpdated) << r.err;
    EXPECT_TRUE(contains(r.err, "was not updated: it is read-only")) << r.err;
    EXPECT_TRUE(contains(r.out, "\"status\": \"written-drawing-not-updated\"")) << r.out;
    EXPECT_TRUE(contains(r.out, "\"drawingNotUpdated\": \"it is read-only\"")) << r.out;
    EXPECT_EQ(readFile(drawing_), kDrawing);
    EXPECT_EQ(idsInOutput(folder_ / "scene.qmx").size(), 3u) << "the output was written";
}

TEST_F(DrawingWriteBack, ADrawingSavedDuringTheExportIsKept) {
    struct Case {
        std::string saved;  // what an editor saves while the export runs
        int status;
        bool recordsAdded;
    };
    const std::string renamed =
        kDrawing.substr(0, kDrawing.find("Lamp B")) + "Lamp C" + kDrawing.substr(kDrawing.find("Lamp B") + 6);
    const std::string annotated = "{\"edited\": true," + kDrawing.substr(1);
    const Case cases[] = {
        {annotated, kExitOk, true},                          // an edit elsewhere: the records join it
        {renamed, kExitDrawingNotUpdated, false},            // a changed light: the edit wins, alone
        {"{ not a drawing", kExitDrawingNotUpdated, false},  // whatever was saved stays
    };
    // Saved during the export, or in the last moments: the new text on the
    // disk, the drawing not yet checked a last time; checked, not yet replaced.
    for (const std::string step : {"written", "saving", "checked"})
        for (const Case& c : cases) {
            writeFile(drawing_, kDrawing);
            const std::string replacement = folder_ / "saved.json";
            writeFile(replacement, c.saved);
            ToolOptions options;
            options.program = PELMORA_HOOKED_TOOL;
            options.environment = {{"PELMORA_REPLACE_DRAWING_AT_STEP", step},
                                   {"PELMORA_REPLACEMENT_DRAWING", replacement}};
            ToolResult r = exportOnce(options);
            EXPECT_EQ(r.status, c.status) << step << ": " << c.saved << r.err;
            const std::string now = readFile(drawing_);
            EXPECT_EQ(withoutAddedRecords(now), c.saved);
            EXPECT_EQ(now != c.saved, c.recordsAdded) << now;
            if (c.status != kExitOk) { EXPECT_TRUE(contains(r.err, "was changed during the export")) << r.err; }
        }
}

TEST_F(DrawingWriteBack, TwoExportsAtOnceKeepEveryIdEitherOutputCarries) {
    for (int round = 0; round < 8; ++round) {
        writeFile(drawing_, kDrawing);
        // Mode 1 takes the active layer's lights, mode 2 every visible layer's:
        // each alone would give the first light it meets the id 1998.
        const auto first = startTool(exportArgs("one.qmx", "1"));
        const auto second = startTool(exportArgs("two.qmx", "2"));
        const ToolResult a = finishTool(first), b = finishTool(second);
        ASSERT_EQ(a.status, kExitOk) << a.err;
        ASSERT_EQ(b.status, kExitOk) << b.err;
        const std::set<std::int32_t> kept = idsInDrawing(drawing_);
        for (const std::string output : {"one.qmx", "two.qmx"})
            for (std::int32_t id : idsInOutput(folder_ / output))
                EXPECT_EQ(kept.count(id), 1u) << "round " << round << ": " << output << " carries " << id;
    }
}

TEST_F(DrawingWriteBack, AHardLinkedDrawingIsRefusedBeforeTheExport) {
    std::filesystem::create_hard_link(drawing_, folder_ / "other-name.json");
    const ToolResult r = exportOnce();
    EXPECT_EQ(r.status, 2) << r.err;
    EXPECT_TRUE(contains(r.err, "has 2 names (hard links)")) << r.err;
    EXPECT_FALSE(std::filesystem::exists(folder_ / "scene.qmx"));
    EXPECT_EQ(readFile(drawing_), kDrawing);
    EXPECT_EQ(readFile(folder_ / "other-name.json"), kDrawing);
}

// Runs the export in a child process that raises `signal` when the run
// reaches `moment`; gives the child's wait status.
int exportEndedAt(const tool::ExportRequest& request, const char* moment, int signal) {
    const pid_t child = ::fork();
    if (child == 0) {
        tool::ExportRequest ended = request;
        ended.atMoment = [moment, signal](const char* reached) {
            if (std::strcmp(reached, moment) == 0) ::raise(signal);
        };
        tool::runExportRequest(ended);
        ::_exit(100);  // not reached when the signal ended the run
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return status;
}

TEST_F(DrawingWriteBack, AfterASignalAtAnyMomentTheDrawingHoldsEveryIdTheOutputHolds) {
    tool::ExportRequest request;
    request.drawingPath = drawing_;
    request.outputPath = folder_ / "scene.qmx";
    request.hostDir = hostDir_;
    request.mode = 2;
    request.force = true;
    request.quiet = true;
    for (const char* moment : {"loaded", "staged", "written", "saving", "checked", "replaced"})
        for (int signal : {SIGTERM, SIGHUP, SIGKILL}) {
            const std::string when = std::string(strsignal(signal)) + " at " + moment;
            writeFile(drawing_, kDrawing);
            std::filesystem::remove(folder_ / "scene.qmx");
            const int status = exportEndedAt(request, moment, signal);
            ASSERT_TRUE(WIFSIGNALED(status)) << when << ": exit status " << WEXITSTATUS(status);
            EXPECT_EQ(WTERMSIG(status), signal) << when;
            // Held back by the write-back and the replacement, SIGTERM and SIGHUP end the run after both.
            const bool written = std::filesystem::exists(folder_ / "scene.qmx");
            EXPECT_EQ(written, std::strcmp(moment, "replaced") == 0 ||
                                   (signal != SIGKILL &&
                                    (std::strcmp(moment, "saving") == 0 || std::strcmp(moment, "checked") == 0)))
                << when;
            if (!written) continue;
            const std::set<std::int32_t> kept = idsInDrawing(drawing_);
            const std::set<std::int32_t> carried = idsInOutput(folder_ / "scene.qmx");
            EXPECT_EQ(carried.size(), 3u) << when;
            for (std::int32_t id : carried) EXPECT_EQ(kept.count(id), 1u) << when << ": the output carries " << id;
        }
}

}  // namespace
}  // namespace pelmora
