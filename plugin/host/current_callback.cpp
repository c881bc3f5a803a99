#include "host/current_callback.h"

namespace pelmora::host {
namespace {
HostCallback g_current = nullptr;
}

HostCallback currentCallback() { return g_current; }
void setCurrentCallback(HostCallback callback) { g_current = callback; }

}  // namespace pelmora::host
