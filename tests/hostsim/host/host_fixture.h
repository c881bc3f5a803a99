// Test helpers for the emulated host: a host over a drawing given as JSON
// text, made current for the plug-in's service wrappers while it lives.
#pragma once

#include <string>
#include <string_view>

#include "hostsim/document/drawing.h"
#include "hostsim/host/emulated_host.h"
#include "plugin/host/current_callback.h"

namespace pelmora::hostsim::testing {

struct HostRun {
    explicit HostRun(std::string_view json) : host(parseDrawing(json)), scope(host.callback()) {}
    explicit HostRun(Drawing drawing) : host(std::move(drawing)), scope(host.callback()) {}

    EmulatedHost host;
    host::CallbackScope scope;
};

// The text after the length byte of a host name.
inline std::string nameText(const std::uint8_t* name256) {
    return std::string(reinterpret_cast<const char*>(name256 + 1), name256[0]);
}

}  // namespace pelmora::hostsim::testing
