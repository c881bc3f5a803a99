// A read QMX file as indented text for people: header, then one line per
// node and per motion item, with the named payload fields.
#pragma once

#include <ostream>

#include "qmxread/qmx_tree.h"

namespace pelmora::qmxread {

void printTree(std::ostream& out, const QmxFile& file, bool geometry = false);

}  // namespace pelmora::qmxread
