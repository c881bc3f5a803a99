// The reader reaching into the plug-in beside it: the layer check must refuse it.
#include "plugin/scene_file/records.h"
