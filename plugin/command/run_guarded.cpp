#include "command/run_guarded.h"

#include "host/qmx_exception.h"
#include "host/services.h"

namespace pelmora {

bool runGuarded(std::initializer_list<GuardedStep> steps) {
    bool completed = false;
    try {
        for (const auto& step : steps) step();
        completed = true;
    } catch (const qmx_exception& failure) {
        if (failure.list != 0) host::showMessage(failure.list, failure.index);
    } catch (...) {
        host::showMessage(kMessageList, kMsgUnexpected);
    }
    host::resetCommandState();
    return completed;
}

}  // namespace pelmora
