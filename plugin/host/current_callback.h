// The process-wide current host callback: set by plugin_main for the length of
// its call, saved and restored around every service call so that a host that
// re-enters the plug-in finds it as it was.
#pragma once

#include "host/host_abi.h"

namespace pelmora::host {

HostCallback currentCallback();
void setCurrentCallback(HostCallback callback);

// Makes `callback` current for the scope's lifetime and puts the previous one back.
class CallbackScope {
public:
    explicit CallbackScope(HostCallback callback) : saved_(currentCallback()) { setCurrentCallback(callback); }
    ~CallbackScope() { setCurrentCallback(saved_); }
    CallbackScope(const CallbackScope&) = delete;
    CallbackScope& operator=(const CallbackScope&) = delete;

private:
    HostCallback saved_;
};

}  // namespace pelmora::host
