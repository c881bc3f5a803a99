#include "tool/export/drawing_code_page.h"

#include "platform/path_text.h"

namespace pelmora::tool {

std::string drawingCodePageRefusal(const std::string& drawingPath, int drawingCodePage) {
    const int system = system::fileNameCodePage();
    if (system == 0 || system == drawingCodePage) return {};
    const std::string ours = std::to_string(system), theirs = std::to_string(drawingCodePage);
    return drawingPath + " is in code page " + theirs + " (its \"codePage\"), but this system's ANSI code page is " +
           ours + ", in which the plug-in names template files: its names would not find their templates; give it " +
           "\"codePage\": " + ours + " (names the code page cannot hold must be changed), or export it on a " +
           "system whose code page is " + theirs;
}

}  // namespace pelmora::tool
