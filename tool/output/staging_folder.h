// The staging folder of a conversion to a format with side files (.gltf with
// its .bin and pictures, .obj with its .mtl): a hidden folder beside the
// output, ".NAME.PID.part", that the whole set is written into under the
// output's own name. moveInPlace() moves the side files and last the main file
// over their targets; until then the user's files stay as they were. The
// folder and what is in it go when the object ends, and on SIGTERM, SIGHUP or
// a second Ctrl+C.
#pragma once

#include <set>
#include <string>
#include <vector>

namespace pelmora::tool {

class StagingFolder {
public:
    // Makes the folder beside `output`. Empty mainPath() when none could be
    // made there, and failure() says why.
    explicit StagingFolder(const std::string& output);
    ~StagingFolder();
    StagingFolder(const StagingFolder&) = delete;
    StagingFolder& operator=(const StagingFolder&) = delete;

    // Where the main file is written: the output's name, inside the folder.
    const std::string& mainPath() const { return mainPath_; }
    const std::string& failure() const { return failure_; }
    // The names of the plain files in the folder now.
    std::set<std::string> files() const;

    // The paths beside the output of those of `names` (but the main file)
    // that exist there now: what moveInPlace would replace.
    std::vector<std::string> takenBeside(const std::set<std::string>& names) const;

    // Moves every file but the main one beside the output, `replaceable` ones
    // over a file of their name, the others only where none is; then the main
    // file over `target` (the output, or the file a link named as it points
    // to). Empty text when done, else which file could not be moved.
    std::string moveInPlace(const std::set<std::string>& replaceable, const std::string& target);

private:
    std::string folder_;  // the staging folder
    std::string outputFolder_, name_, mainPath_, failure_;
};

}  // namespace pelmora::tool
