// The process exit statuses every part of the tool gives.
#pragma once

namespace pelmora::tool {

enum ExitStatus : int {
    kExitOk = 0,
    kExitFailure = 1,    // the work failed (a failure message, a write error, a corrupt file)
    kExitUsage = 2,      // bad command line or bad input document
    kExitCancelled = 3,  // cancelled or aborted by the user
    // The output was written, but the drawing document could not be given
    // the light records the export made (read-only, locked, or edited meanwhile).
    kExitDrawingNotUpdated = 4,
};

// How bad a status is, for the worst of several: a written output whose
// drawing was not updated ranks just above success.
inline int exitSeverity(int status) {
    return status == kExitDrawingNotUpdated ? 1 : status == kExitOk ? 0 : status + 1;
}

}  // namespace pelmora::tool
