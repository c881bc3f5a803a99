// Whether standard error is a terminal the progress line can be drawn on,
// and how wide it is.
#pragma once

#include <cstddef>

namespace pelmora::tool::system {

// True when standard error is an interactive terminal that understands the
// carriage return and the erase-line sequence the progress line uses.
bool stderrIsTerminal();

// Columns of the terminal standard error goes to (80 when unknown).
std::size_t terminalColumns();

}  // namespace pelmora::tool::system
