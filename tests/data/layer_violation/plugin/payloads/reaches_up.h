// An item that reaches up into the command layer: the layer check must refuse it.
#include "plugin/command/plugin_main.h"
