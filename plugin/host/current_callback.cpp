#include "plugin/host/current_callback.h"

namespace pelmora::host::detail {

HostCallback currentHostCallback = nullptr;

}  // namespace pelmora::host::detail
