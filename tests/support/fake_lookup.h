// A tiny in-process host for unit tests: a table from service number to a
// function, served through a plain lookup function while the fake is alive.
#pragma once

#include <cstdint>
#include <map>

#include "plugin/host/host_abi.h"

namespace pelmora::testing {

class FakeLookup {
public:
    FakeLookup();
    ~FakeLookup();
    FakeLookup(const FakeLookup&) = delete;
    FakeLookup& operator=(const FakeLookup&) = delete;

    template <class Fn>
    void set(std::int32_t service, Fn fn) {
        services_[service] = reinterpret_cast<HostServiceAddress>(fn);
    }
    void remove(std::int32_t service) { services_.erase(service); }
    HostCallback callback() const;
    // How often each service was looked up.
    int lookups(std::int32_t service) const;

private:
    static HostServiceAddress lookup(std::int32_t service);
    std::map<std::int32_t, HostServiceAddress> services_;
    std::map<std::int32_t, int> lookups_;
};

}  // namespace pelmora::testing
