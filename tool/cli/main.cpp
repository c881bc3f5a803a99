// pelmora: exports drawings through the plug-in module and reads QMX files back.
#include "tool/cli/run_tool.h"
#include "tool/system/command_line.h"

int main(int argc, char** argv) {
    pelmora::tool::system::CommandLine arguments(argc, argv);
    return pelmora::tool::runTool(arguments.argc(), arguments.argv());
}
