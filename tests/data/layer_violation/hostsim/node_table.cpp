// The handle table reaching up into the host's inside: the layer check must refuse it.
#include "hostsim/host/host_impl.h"
