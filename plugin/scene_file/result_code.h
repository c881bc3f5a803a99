// Result codes shared by the writer, the scene description and every builder.
#pragma once

namespace pelmora {

enum Result : int {
    kFailed = 0,       // failure
    kDone = 1,         // success
    kNothingDone = 2,  // skipped; counts as success
    kOutOfMemory = 4,
};

inline bool succeeded(int result) { return result == kDone || result == kNothingDone; }

}  // namespace pelmora
