// Files a run of the tool left behind when it was killed (kill -9, a power
// loss) before it could take them away: the staging files of an export and
// the writer's partial files beside them, the staging folders of a
// conversion, and the replacement files of a drawing written back, each named
// with the id of the process that made it.
// Those whose process no longer runs are removed; every other file, and the
// files of a process that still runs, are left alone.
#pragma once

#include <string>
#include <string_view>

namespace pelmora::tool {

// The id of the process that made `entry` when it is a leftover of a run on
// the file `name` in the same folder: ".NAME.PID[-N].part" and
// ".pelmora-PID[-N].part" (each also with ".pelmora-tmp" after it), and
// "NAME.new-PID-N" (the drawing's replacement as earlier versions named it).
// 0 when it is none of these.
long leftoverOwner(std::string_view entry, std::string_view name);

// Removes the leftovers of runs on `file` (a path) from its folder whose
// process is gone; gives how many were removed.
int removeLeftovers(const std::string& file);

}  // namespace pelmora::tool
