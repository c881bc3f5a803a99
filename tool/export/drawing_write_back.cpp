#include "tool/export/drawing_write_back.h"

#include <cstdint>
#include <new>
#include <optional>
#include <stdexcept>
#include <utility>

#include "hostsim/document/drawing.h"
#include "hostsim/document/records_patch.h"
#include "hostsim/document/text_hash.h"
#include "platform/file_creation.h"
#include "platform/file_replace.h"
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

// Whether the file at `path` is still the text the rewrite was made of: its
// bytes first, its size and time last.
bool stillAsRead(const std::string& path, const Rewrite& rewrite) {
    try {
        if (hostsim::textHash(hostsim::readDocumentText(path)) != rewrite.readHash) return false;
    } catch (const hostsim::DocumentError&) {
        return false;  // read again, it says why
    }
    return system::FileIdentity::of(path).sameAs(rewrite.read);
}

// How a save ended, or why it failed.
struct Saving {
    hostsim::CheckedSave result = hostsim::CheckedSave::Withdrawn;
    std::string why;
};

// The new text is written and put on the disk beside the drawing before the
// drawing is checked a last time; the check is made again of the replaced
// file once the two have been swapped, so that a save that came between the
// check and the swap is put back. SIGTERM, SIGHUP and Ctrl+C wait for the
// save: the file written beside the drawing is not one the handler knows of,
// and the save ends with it in place or removed.
Saving saved(const Rewrite& rewrite, const std::string& drawingPath, const std::function<void(const char*)>& atMoment) {
    InterruptScope::Hold hold;
    Saving saving;
    try {
        // The drawing's own name is UTF-8, as the floor's file calls take it.
        const std::string target = system::replacementTarget(drawingPath);
        bool first = true;
        const auto unchanged = [&](const std::string& path) {
            if (std::exchange(first, false) && atMoment) atMoment("saving");
            // The drawing is asked for by the name the user gave; the file it was swapped with, by its own.
            return stillAsRead(path == target ? drawingPath : path, rewrite);
        };
        saving.result = hostsim::saveTextIfUnchanged(*rewrite.text, drawingPath, unchanged, [&] {
            if (atMoment) atMoment("checked");
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

WriteBack writeBackLightRecords(const std::string& drawingPath, const hostsim::EmulatedHost& host,
                                const LoadedInput& input, const std::function<void(const char*)>& atMoment) {
    WriteBack done;
    if (!host.recordsChanged()) return done;
    done.notUpdated = whyNotWritable(drawingPath, input);
    for (int reading = 0; done.notUpdated.empty(); ++reading) {
        const Rewrite rewrite = rewriteOf(drawingPath, host, input);
        done.notUpdated = rewrite.why;
        if (!done.notUpdated.empty() || !rewrite.text) break;
        // Changed since it was read: read again, and the records applied anew.
        if (system::FileIdentity::of(drawingPath).sameAs(rewrite.read)) {
            const Saving saving = saved(rewrite, drawingPath, atMoment);
            done.notUpdated = saving.why;
            if (!saving.why.empty()) break;
            if (saving.result != hostsim::CheckedSave::Withdrawn) {
                done.updated = true;
                done.editedMeanwhile = rewrite.editedMeanwhile;
                done.unconfirmed = saving.result == hostsim::CheckedSave::Unconfirmed;
                break;
            }
        }
        if (reading + 1 == kReadings) done.notUpdated = "it kept changing while it was being updated";
    }
    done.status = done.notUpdated.empty() && !done.unconfirmed ? kExitOk : kExitDrawingNotUpdated;
    return done;
}

void reportWriteBack(const WriteBack& done, const std::string& drawingPath, ExportReporter& report) {
    if (!done.notUpdated.empty()) {
        report.error(drawingPath + " was not updated: " + done.notUpdated +
                     ". The output was written, but the light ids it holds are not kept in the drawing, and the "
                     "next export may give other ones; export again once the drawing can be written");
    } else if (done.unconfirmed) {
        report.error(drawingPath +
                     " was updated, but it may have changed in the last moment before: this system cannot replace "
                     "a file only while it is unchanged, so an edit saved then by another program may be lost; "
                     "check the drawing");
    } else if (done.updated) {
        report.note("updated the light records of " + drawingPath +
                    (done.editedMeanwhile ? " (it was edited during the export; the edit was kept)" : ""));
    }
}

}  // namespace pelmora::tool
