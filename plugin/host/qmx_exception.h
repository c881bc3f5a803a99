// The one failure type of an export: a message of the host's string lists.
// List 0 means stop without a message (a cancel or an abort).
#pragma once

#include <cstdint>

namespace pelmora {

struct qmx_exception {
    std::int32_t list = 0;
    std::int32_t index = 0;
};

inline constexpr std::int32_t kMessageList = 11011;

// Indexes of list 11011.
enum MessageIndex : std::int32_t {
    kMsgWriteFailed = 2,
    kMsgUnexpected = 4,
    kMsgNothingToExport = 5,
    kMsgChainNotReached = 6,
    kMsgChainTooDeep = 7,
};

[[noreturn]] inline void raiseMessage(std::int32_t index) { throw qmx_exception{kMessageList, index}; }
[[noreturn]] inline void raiseSilent() { throw qmx_exception{0, 0}; }

}  // namespace pelmora
