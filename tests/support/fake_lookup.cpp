#include "tests/support/fake_lookup.h"

namespace pelmora::testing {
namespace {
FakeLookup* g_active = nullptr;
}

FakeLookup::FakeLookup() { g_active = this; }
FakeLookup::~FakeLookup() {
    if (g_active == this) g_active = nullptr;
}

HostCallback FakeLookup::callback() const { return &FakeLookup::lookup; }

int FakeLookup::lookups(std::int32_t service) const {
    auto it = lookups_.find(service);
    return it == lookups_.end() ? 0 : it->second;
}

HostServiceAddress FakeLookup::lookup(std::int32_t service) {
    if (g_active == nullptr) return nullptr;
    ++g_active->lookups_[service];
    auto it = g_active->services_.find(service);
    return it == g_active->services_.end() ? nullptr : it->second;
}

}  // namespace pelmora::testing
