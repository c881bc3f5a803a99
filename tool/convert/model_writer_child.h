// Runs the model library's writer for one file in a forked child, so that a
// writer that crashes or aborts (some do, on scenes they do not expect) ends
// that child and not the tool: the crash comes back as a message.
#pragma once

#include <string>

struct aiScene;

namespace pelmora::tool {

// Writes `scene` as the format `assimpId` into `path` with the post-processing
// `steps`; gives an empty text when done, else what went wrong.
std::string writeModelInChild(const aiScene& scene, const std::string& assimpId, const std::string& path,
                              unsigned steps);

}  // namespace pelmora::tool
