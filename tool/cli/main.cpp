// pelmora: exports drawings through the plug-in module and reads QMX files back.
#include "tool/cli/run_tool.h"

int main(int argc, char** argv) { return pelmora::tool::runProgram(argc, argv); }
