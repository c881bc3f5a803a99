// Files a run of the tool left behind when it was killed (kill -9, a power
// loss) before it could take them away: the staging files of an export and
// the writer's partial files beside them, the staging folders of a
// conversion, and the replacement files of a drawing written back, each named
// with the id of the process that made it.
// Only what is provably the tool's own is removed: a name of the exact shape
// the tool makes, whose process no longer runs, on a regular file that
// carries the mark the tool gives its temporary files (never a folder, nor a
// file of a user that happens to be named so). Everything else is left; what
// only looks like a leftover is named for the user.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pelmora::tool {

// The id of the process that made `entry` when it is a leftover of a run on
// the file `name` in the same folder: ".NAME.PID[-N].part" and
// ".pelmora-PID[-N].part" (each also with ".pelmora-tmp" after it), and
// "NAME.new-PID-N" (the drawing's replacement as earlier versions named it).
// 0 when it is none of these.
long leftoverOwner(std::string_view entry, std::string_view name);

struct Leftovers {
    int removed = 0;
    std::vector<std::string> lookalikes;  // names of a leftover's shape, left: not provably the tool's
};

// Removes the leftovers of runs on `file` (a path) from its folder whose
// process is gone and that carry the tool's mark.
Leftovers removeLeftovers(const std::string& file);

// The one message that names the lookalikes left beside `file`; empty when none.
std::string lookalikesNote(const std::string& file, const Leftovers& leftovers);

}  // namespace pelmora::tool
