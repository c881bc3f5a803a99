#include "platform/portable_hooks.h"

namespace pelmora::platform {
namespace {
PelmoraPortableHooks g_hooks{};
}

void setPortableHooks(const PelmoraPortableHooks* hooks) { g_hooks = hooks ? *hooks : PelmoraPortableHooks{}; }
const PelmoraPortableHooks& portableHooks() { return g_hooks; }

}  // namespace pelmora::platform
