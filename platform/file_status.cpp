// The part of the file status that is the same on every system: what an input
// or output that is not a regular file is called in a refusal.
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

std::string outputKindRefusal(const std::string& path) {
    const char* kind = nullptr;
    switch (pathKind(path)) {
        case PathKind::Missing:
        case PathKind::File:
            return {};
        case PathKind::Folder:
            kind = "a folder";
            break;
        case PathKind::Pipe:
            kind = "a named pipe (FIFO)";
            break;
        case PathKind::Device:
            kind = "a device";
            break;
        case PathKind::Socket:
            kind = "a socket";
            break;
    }
    return path + " is " + kind +
           ", not a regular file: it is never replaced, with or without --force; give the name of a file "
           "(nothing was written)";
}

}  // namespace pelmora::tool::system
