// Where an export's own words go: errors always on stderr, the rest unless
// --quiet; everything is also kept for the summary.
#pragma once

#include <string>

#include "tool/export/export_summary.h"
#include "tool/output/progress_line.h"
#include "tool/output/tool_message.h"

namespace pelmora::tool {

class ExportReporter {
public:
    ExportReporter(ExportSummary& summary, ProgressLine& progress, bool quiet)
        : summary_(summary), progress_(progress), quiet_(quiet) {}

    void error(const std::string& text) {
        summary_.errors.push_back(text);
        print(text);
    }
    void warning(const std::string& text) {
        summary_.warnings.push_back(text);
        if (!quiet_) print("warning: " + text);
    }
    void note(const std::string& text) {
        if (!quiet_) print(text);
    }
    void print(const std::string& text) {
        progress_.clear();
        toolMessage("export", text);
    }
    // The warnings from index `first` on again, for the end of a run whose
    // progress line may have hidden them.
    void repeatWarningsFrom(std::size_t first) {
        for (std::size_t i = first; i < summary_.warnings.size(); ++i) note("warning: " + summary_.warnings[i]);
    }

private:
    ExportSummary& summary_;
    ProgressLine& progress_;
    bool quiet_;
};

}  // namespace pelmora::tool
