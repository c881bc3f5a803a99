// The process exit statuses every part of the tool gives.
#pragma once

namespace pelmora::tool {

enum ExitStatus : int {
    kExitOk = 0,
    kExitFailure = 1,    // the work failed (a failure message, a write error, a corrupt file)
    kExitUsage = 2,      // bad command line or bad input document
    kExitCancelled = 3,  // cancelled or aborted by the user
};

}  // namespace pelmora::tool
