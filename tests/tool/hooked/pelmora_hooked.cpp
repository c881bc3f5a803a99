// The pelmora tool for tests that press Ctrl+C at a chosen moment: the
// points come from PELMORA_INTERRUPT_AT_POLL (the plug-in's abort poll of
// that number) and PELMORA_INTERRUPT_AT_STEP ("loaded", "written",
// "saving", "checked" or "replaced"), and the drawing replaced by PELMORA_REPLACEMENT_DRAWING at the
// step PELMORA_REPLACE_DRAWING_AT_STEP names. The shipped tool reads none of
// them; a batch's exports, started
// as this same program, read them again.
#include <cstdlib>

#include "platform/command_line.h"
#include "tool/cli/run_tool.h"

int main(int argc, char** argv) {
    pelmora::tool::InterruptPoints points;
    if (const char* poll = std::getenv("PELMORA_INTERRUPT_AT_POLL")) points.atPoll = std::atoi(poll);
    if (const char* step = std::getenv("PELMORA_INTERRUPT_AT_STEP")) points.atStep = step;
    if (const char* step = std::getenv("PELMORA_REPLACE_DRAWING_AT_STEP")) points.replaceDrawingAtStep = step;
    if (const char* file = std::getenv("PELMORA_REPLACEMENT_DRAWING")) points.replacementDrawing = file;
    pelmora::tool::system::CommandLine arguments(argc, argv);
    return pelmora::tool::runTool(arguments.argc(), arguments.argv(), points);
}
