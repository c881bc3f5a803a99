#include "plugin/command/run_guarded.h"

#include "plugin/host/qmx_exception.h"
#include "plugin/host/services.h"

namespace pelmora {

void reportFailure(std::exception_ptr failure) noexcept {
    std::int32_t list = kMessageList;
    std::int32_t index = kMsgUnexpected;
    try {
        std::rethrow_exception(failure);
    } catch (const qmx_exception& shown) {
        list = shown.list;
        index = shown.index;
    } catch (...) {}
    if (list == 0) return;
    try {
        host::showMessage(list, index);
    } catch (...) {
        // A host that cannot even show the message has nothing more to give.
    }
}

void resetCommandStateQuietly() noexcept {
    try {
        host::resetCommandState();
    } catch (...) {}
}

bool runGuarded(std::initializer_list<GuardedStep> steps) {
    bool completed = false;
    try {
        for (const auto& step : steps) step();
        completed = true;
    } catch (...) { reportFailure(std::current_exception()); }
    resetCommandStateQuietly();
    return completed;
}

}  // namespace pelmora
