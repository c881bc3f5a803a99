// A drawing large enough that exporting it takes about a second: many groups
// (each one a container the plug-in polls Ctrl+C at) of small polygons in a
// few classes, and a camera.
#pragma once

#include <string>

namespace pelmora::exporttest {

inline std::string bigDrawing(int groups, int polygonsPerGroup) {
    std::string text = R"({"pelmoraDrawing": 1, "classes": ["None")";
    for (int c = 0; c < 20; ++c) text += ", \"C" + std::to_string(c) + "\"";
    text +=
        R"(], "view": {"perspective": true, "distance": 5000, "focal": 1000}, "layers": [{"name": "L", "objects": [)";
    for (int g = 0; g < groups; ++g) {
        text += g ? ",\n" : "\n";
        text += R"({"type": "group", "members": [)";
        for (int k = 0; k < polygonsPerGroup; ++k) {
            const std::string x = std::to_string(g * 10), y = std::to_string(k * 10);
            const std::string x2 = std::to_string(g * 10 + 5), y2 = std::to_string(k * 10 + 5);
            text += k ? ", " : "";
            text += R"({"type": "polygon", "class": "C)" + std::to_string(g % 20) + R"(", "points": [[)" + x + "," + y +
                    ",0],[" + x2 + "," + y + ",0],[" + x2 + "," + y2 + ",0],[" + x + "," + y2 + ",3]]}";
        }
        text += "]}";
    }
    text += "]}]}\n";
    return text;
}

}  // namespace pelmora::exporttest
