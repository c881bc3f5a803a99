// The binary FBX file the model library writes ends no list of child records
// with the null record the format requires (its writer turns the record's zero
// bytes into an empty string), so that neither the library itself nor Blender
// can read the file back. completeFbxBlocks() puts the null record after every
// list of children, shifts the records' end offsets to match and pads the
// footer anew; a file that has them already comes out the same.
#pragma once

#include <string>

namespace pelmora::tool {

// Rewrites `bytes`, a whole binary FBX file, in place. Empty text when done;
// else what is wrong with the file, and `bytes` is unchanged.
std::string completeFbxBlocks(std::string& bytes);

// The same for the file at `path`, rewritten in place.
std::string completeFbxFile(const std::string& path);

}  // namespace pelmora::tool
