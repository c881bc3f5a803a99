// The last step of an export: light ids are made unique, the mesh id counter
// is set to 1003, and the scene under `root` is written to `outputPath`.
#pragma once

#include <string>

namespace pelmora {

class RootSource;

// Writes into a temporary file beside `outputPath` and moves it over the
// target only when the writer succeeds; on any failure (including a stream
// that could not be created) the temporary file is removed, a file already at
// `outputPath` stays as it was, and qmx_exception 11011/2 is raised.
void writeScene(RootSource& root, const std::string& outputPath);

// The temporary file writeScene writes before moving it over `outputPath`:
// "<outputPath>.pelmora-tmp", or "~pelmora.tmp" in the same folder when that
// would pass the platform's path limit; empty when neither fits, and the
// file is then written in place.
std::string temporaryPathFor(const std::string& outputPath);

}  // namespace pelmora
