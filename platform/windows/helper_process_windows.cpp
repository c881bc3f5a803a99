// Windows cannot copy a running process: no helper starts, and the callers
// (the model import and writers, left out of the Windows build) say so.
#include "platform/helper_process.h"

#include <windows.h>

namespace pelmora::tool::system {

bool HelperReport::write(const char*, std::size_t) const { return false; }

void HelperReport::end(int status) const { ExitProcess(static_cast<UINT>(status)); }

bool HelperEnd::likelyOutOfMemory() const { return false; }

HelperProcess::~HelperProcess() = default;

bool HelperProcess::start(const std::function<int(const HelperReport&)>&, long, std::string& error) {
    error = "helper processes need a system that can fork";
    return false;
}

HelperProcess::Report HelperProcess::readReport(int, std::string&) { return Report::Failed; }

std::string HelperProcess::readReportToEnd() { return {}; }

long HelperProcess::residentMiB() const { return -1; }

HelperEnd HelperProcess::finish(bool) { return {}; }

}  // namespace pelmora::tool::system
