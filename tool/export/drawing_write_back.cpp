#include "tool/export/drawing_write_back.h"

#include <cstdint>
#include <new>
#include <optional>
#include <stdexcept>

#include "hostsim/document/records_patch.h"
#include "hostsim/document/text_hash.h"
#include "platform/file_creation.h"
#include "platform/interrupt.h"
#include "platform/path_text.h"
#include "platform/read_only.h"
#include "tool/output/exit_status.h"

namespace pelmora::tool {
namespace {

// The new text of the drawing, or why there is none.
struct Rewrite {
    std::optional<std::string> text;
    std::string why;
    bool editedMeanwhile = false;
    system::FileIdentity read;   // the file's state before its text was read
    std::uint64_t readHash = 0;  // the hash of the text read
};

// An editor may save the drawing at any moment: its text is read again when
// it changed between the reading and the writing, a few times at most.
constexpr int kReadings = 3;

// Reads the drawing as it is now and makes the changed records part of it.
// A file still as it was read takes them as a matter of course; one edited
// since takes them only where each changed object is still there, as read.
Rewrite rewriteOf(const std::string& drawingPath, const hostsim::EmulatedHost& host, const LoadedInput& input) {
    Rewrite rewrite;
    rewrite.read = system::FileIdentity::of(drawingPath);
    std::string text;
    try {
        text = hostsim::readDocumentText(drawingPath);
    } catch (const hostsim::DocumentError& bad) {
        rewrite.why = std::string("it can no longer be read: ") + bad.what();
        return rewrite;
    }
    rewrite.readHash = hostsim::textHash(text);
    rewrite.editedMeanwhile = !(rewrite.read.sameAs(input.asRead) && rewrite.readHash == input.bytesHash);
    try {
        hostsim::RecordsPatch patch = hostsim::patchRecords(text, host.drawingAsGiven(), host.drawing());
        if (!patch.text) rewrite.why = "it was changed during the export, and " + patch.why;
        else if (*patch.text != text) rewrite.text = std::move(patch.text);
    } catch (const hostsim::DocumentError& bad) {
        rewrite.why = std::string("it was changed during the export into a document that does not load: ") + bad.what();
    }
    return rewrite;
}

// Whether the drawing is still the text the rewrite was made of: its bytes
// first, its size and time last, the moment before the rename.
bool stillAsRead(const std::string& drawingPath, const Rewrite& rewrite) {
    try {
        if (hostsim::textHash(hostsim::readDocumentText(drawingPath)) != rewrite.readHash) return false;
    } catch (const hostsim::DocumentError&) {
        return false;  // read again, it says why
    }
    return system::FileIdentity::of(drawingPath).sameAs(rewrite.read);
}

// How a save ended: written, withdrawn because the drawing changed meanwhile,
// or failed (why).
struct Saving {
    bool withdrawn = false;
    std::string why;
};

// The new text is written and put on the disk beside the drawing before the
// drawing is checked a last time, so that little more than the rename is left
// between that check and the replacement. SIGTERM, SIGHUP and Ctrl+C wait for
// the save: the file written beside the drawing is not one the handler knows
// of, and the save ends with it renamed over the drawing or removed.
Saving saved(const Rewrite& rewrite, const std::string& drawingPath, const std::function<void()>& beforeLastCheck) {
    InterruptScope::Hold hold;
    Saving saving;
    try {
        saving.withdrawn = !hostsim::saveTextAtomically(*rewrite.text, drawingPath, [&](const std::string& written) {
            system::syncFile(written);  // a failure shows again in the replacement's own flush
            if (beforeLastCheck) beforeLastCheck();
            return stillAsRead(drawingPath, rewrite);
        });
    } catch (const std::bad_alloc&) {
        throw;  // out of memory ends the run as anywhere else
    } catch (const std::exception& bad) {
        // Every failure of the save is a file call's; its reason said before
        // anything else can change it.
        const std::string folder = system::textOf(system::pathOf(drawingPath).parent_path());
        const std::string why = system::lastFileErrorIn(folder.empty() ? "." : folder);
        saving.why = bad.what() + (": " + why);
    }
    return saving;
}

std::string whyNotWritable(const std::string& drawingPath, const LoadedInput& input) {
    if (!input.lock.held())
        return input.lock.state() == system::FileLock::State::Busy
                   ? "another export of it held its lock for too long"
                   : "it cannot be locked against other exports (" + input.lock.why() + ")";
    if (system::isReadOnly(drawingPath)) return "it is read-only";
    return {};
}

}  // namespace

int writeBackLightRecords(const std::string& drawingPath, const hostsim::EmulatedHost& host, const LoadedInput& input,
                          ExportReporter& report, std::string& notUpdated,
                          const std::function<void()>& beforeLastCheck) {
    if (!host.recordsChanged()) return kExitOk;
    notUpdated = whyNotWritable(drawingPath, input);
    Rewrite rewrite;
    for (int reading = 0; notUpdated.empty(); ++reading) {
        rewrite = rewriteOf(drawingPath, host, input);
        notUpdated = rewrite.why;
        if (!notUpdated.empty() || !rewrite.text) break;
        // Changed since it was read: read again, and the records applied anew.
        if (system::FileIdentity::of(drawingPath).sameAs(rewrite.read)) {
            const Saving saving = saved(rewrite, drawingPath, beforeLastCheck);
            notUpdated = saving.why;
            if (!saving.withdrawn) break;
        }
        if (reading + 1 == kReadings && notUpdated.empty()) notUpdated = "it kept changing while it was being updated";
    }
    if (!notUpdated.empty()) {
        report.error(drawingPath + " was not updated: " + notUpdated +
                     ". The output was written, but the light ids it holds are not kept in the drawing, and the "
                     "next export may give other ones; export again once the drawing can be written");
        return kExitDrawingNotUpdated;
    }
    if (rewrite.text)
        report.note("updated the light records of " + drawingPath +
                    (rewrite.editedMeanwhile ? " (it was edited during the export; the edit was kept)" : ""));
    return kExitOk;
}

}  // namespace pelmora::tool
