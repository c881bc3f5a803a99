// The export reaching up into the command table: the layer check must refuse it.
#include "tool/cli/commands.h"
