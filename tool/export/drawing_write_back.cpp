#include "tool/export/drawing_write_back.h"

#include <stdexcept>

#include "tool/cli/commands.h"
#include "tool/system/path_text.h"

namespace pelmora::tool {
namespace {

// Unchanged on disk, the file holds the drawing as read, which differs from
// ours by the records; only a file changed meanwhile is read again.
bool fileAlreadyHolds(const std::string& drawingPath, const hostsim::Drawing& changed,
                      const system::FileIdentity& asRead) {
    if (system::FileIdentity::of(drawingPath).sameAs(asRead)) return false;
    try {
        return hostsim::loadDrawing(drawingPath) == changed;
    } catch (const hostsim::DocumentError&) {
        return false;  // gone or changed into something unreadable meanwhile: write ours
    }
}

}  // namespace

int writeBackLightRecords(const std::string& drawingPath, const hostsim::EmulatedHost& host,
                          const system::FileIdentity& asRead, ExportReporter& report) {
    if (!host.recordsChanged()) return kExitOk;
    const hostsim::Drawing changed = host.drawing();
    if (fileAlreadyHolds(drawingPath, changed, asRead)) return kExitOk;
    try {
        std::string narrowPath;
        if (!system::narrowPath(drawingPath, narrowPath))
            throw std::runtime_error("the system's ANSI code page has no character for part of its path");
        hostsim::saveDrawingAtomically(changed, narrowPath);
        report.note("updated the light records of " + drawingPath);
    } catch (const std::exception& bad) {
        report.error(std::string("could not update the light records of the drawing: ") + bad.what());
        return kExitFailure;
    }
    return kExitOk;
}

}  // namespace pelmora::tool
