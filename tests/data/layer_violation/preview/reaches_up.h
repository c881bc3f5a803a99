// The preview reaching above the plug-in's lowest layer: the layer check must refuse it.
#include "plugin/scene/write_scene.h"
