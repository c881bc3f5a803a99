// What one load of the template library met, for tools that check a template
// folder: the files read, the files skipped with the reason, and every id
// table line that gave a name and a value. Loading behaves the same whether
// or not a report is kept.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pelmora {

struct SkippedTemplate {
    std::string file;    // the name as found, without folder
    std::string reason;  // see the kSkip* texts
};

struct IdTableLine {
    std::string name;
    std::int32_t value = 0;
    std::int32_t classIndex = 0;  // as the class lookup answered; 0 or less: no such class
    bool rejected = false;        // the name is too long to be passed to the host whole
};

struct LoadReport {
    std::string templateFolder;      // where the templates were looked for
    std::vector<std::string> found;  // template files, in the order found
    std::vector<SkippedTemplate> skipped;
    std::string idTablePath;
    bool idTableRead = false;          // the id table had text
    std::vector<IdTableLine> idLines;  // in file order
};

// Reasons a template file is skipped. A read error is reported by its message text.
inline constexpr const char* kSkipHeader = "header mismatch";
inline constexpr const char* kSkipUnknownSection = "unknown section type";
inline constexpr const char* kSkipPathTooLong = "path longer than the platform limit";

}  // namespace pelmora
