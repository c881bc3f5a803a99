// The part of the file status that is the same on every system: what an input
// that is not a regular file is called in a refusal.
#include "platform/file_status.h"

namespace pelmora::tool::system {

std::string inputFileRefusal(const std::string& path, const std::string& what) {
    switch (pathKind(path)) {
        case PathKind::File:
            return {};
        case PathKind::Missing:
            return path + ": no such file";
        case PathKind::Folder:
            return path + " is a folder; give " + what;
        case PathKind::Pipe:
            return path + " is a named pipe (FIFO), not a file; give " + what + " (save the data to a file first)";
        case PathKind::Device:
            return path + " is a device, not a file; give " + what;
        case PathKind::Socket:
            return path + " is a socket, not a file; give " + what;
    }
    return path + " is not a regular file; give " + what;
}

}  // namespace pelmora::tool::system
