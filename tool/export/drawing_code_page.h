// Whether a drawing can be exported on this system as its code page says.
// The real host hands the plug-in every name in the system's ANSI code page,
// and the plug-in's file calls look for template files in it; a drawing in
// another code page would lose its templates of non-ASCII names without a
// word. Where file calls take any bytes (POSIX systems) every code page goes.
#pragma once

#include <string>

namespace pelmora::tool {

// Why a drawing in `drawingCodePage` cannot be exported here; empty when it can.
std::string drawingCodePageRefusal(const std::string& drawingPath, int drawingCodePage);

}  // namespace pelmora::tool
