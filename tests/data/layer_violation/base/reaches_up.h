// A base helper that reaches into the plug-in: the layer check must refuse it.
#include "plugin/platform/files.h"
