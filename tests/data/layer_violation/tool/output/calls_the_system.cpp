// The tool calling the operating system itself instead of through the platform floor: the check must refuse it.
#include <unistd.h>
