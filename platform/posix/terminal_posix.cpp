#include "platform/terminal.h"

#include <sys/ioctl.h>
#include <unistd.h>

namespace pelmora::tool::system {

bool stderrIsTerminal() { return isatty(STDERR_FILENO) != 0; }

std::size_t terminalColumns() {
    winsize size{};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 10) return size.ws_col;
    return 80;
}

}  // namespace pelmora::tool::system
