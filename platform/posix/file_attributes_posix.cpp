#include "platform/file_attributes.h"

#include <sys/xattr.h>

#include <cerrno>
#include <vector>

namespace pelmora::tool::system {
namespace {

constexpr const char* kOurMark = "user.pelmora.temporary";
constexpr char kOurMarkValue[] = "pelmora";

// Whether the file system keeps no extended attributes at all.
bool noAttributesHere() { return errno == ENOTSUP; }

// The names of the attributes of `path`, NUL-separated; false when they
// cannot be listed (a file system without them lists none).
bool namesOf(const std::string& path, std::vector<std::string>& names) {
    names.clear();
    for (int attempt = 0; attempt < 8; ++attempt) {
        const ssize_t size = ::listxattr(path.c_str(), nullptr, 0);
        if (size < 0) return noAttributesHere();
        std::vector<char> list(static_cast<std::size_t>(size) + 1);
        const ssize_t got = ::listxattr(path.c_str(), list.data(), list.size());
        if (got < 0 && errno == ERANGE) continue;  // grew meanwhile
        if (got < 0) return noAttributesHere();
        for (ssize_t at = 0; at < got;) {
            names.emplace_back(list.data() + at);
            at += static_cast<ssize_t>(names.back().size()) + 1;
        }
        return true;
    }
    return false;
}

// The value of one attribute; false when it is not there or cannot be read.
bool valueOf(const std::string& path, const std::string& name, std::string& value) {
    for (int attempt = 0; attempt < 8; ++attempt) {
        const ssize_t size = ::getxattr(path.c_str(), name.c_str(), nullptr, 0);
        if (size < 0) return false;
        value.assign(static_cast<std::size_t>(size), '\0');
        const ssize_t got = ::getxattr(path.c_str(), name.c_str(), value.data(), value.size());
        if (got < 0 && errno == ERANGE) continue;
        if (got < 0) return false;
        value.resize(static_cast<std::size_t>(got));
        return true;
    }
    return false;
}

bool listed(const std::vector<std::string>& names, const std::string& name) {
    for (const std::string& each : names)
        if (each == name) return true;
    return false;
}

}  // namespace

std::string carryAttributesOver(const std::string& replaced, const std::string& replacement) {
    std::vector<std::string> old, fresh;
    if (!namesOf(replaced, old)) return "the list of extended attributes";
    if (!namesOf(replacement, fresh)) return old.empty() ? std::string() : old.front();
    // Removed first: an ACL the folder gives new files may grant what the old file did not.
    for (const std::string& name : fresh)
        if (!listed(old, name) && ::removexattr(replacement.c_str(), name.c_str()) != 0 && errno != ENODATA)
            return name;
    std::string value, now;
    for (const std::string& name : old) {
        if (!valueOf(replaced, name, value)) {
            if (errno == ENODATA) continue;  // removed meanwhile
            return name;
        }
        if (valueOf(replacement, name, now) && now == value) continue;
        if (::setxattr(replacement.c_str(), name.c_str(), value.data(), value.size(), 0) != 0) return name;
    }
    return {};
}

bool markAsOurs(const std::string& path) {
    return ::setxattr(path.c_str(), kOurMark, kOurMarkValue, sizeof kOurMarkValue - 1, 0) == 0;
}

bool markedAsOurs(const std::string& path) {
    char value[sizeof kOurMarkValue] = {};
    const ssize_t got = ::lgetxattr(path.c_str(), kOurMark, value, sizeof value);
    return got == static_cast<ssize_t>(sizeof kOurMarkValue - 1) &&
           std::string(value, static_cast<std::size_t>(got)) == kOurMarkValue;
}

void dropOurMark(const std::string& path) { ::removexattr(path.c_str(), kOurMark); }

}  // namespace pelmora::tool::system
