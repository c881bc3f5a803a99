// The process-wide current host callback: set by plugin_main for the length of
// its call, saved and restored around every service call so that a host that
// re-enters the plug-in finds it as it was.
#pragma once

#include "plugin/host/host_abi.h"

namespace pelmora::host {

// Every service call reads and writes this several times, so the accessors
// are inline: a plain load and store rather than a call each.
namespace detail {
extern HostCallback currentHostCallback;
}  // namespace detail

inline HostCallback currentCallback() { return detail::currentHostCallback; }
inline void setCurrentCallback(HostCallback callback) { detail::currentHostCallback = callback; }

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
