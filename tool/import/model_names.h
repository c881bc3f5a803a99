// Imported names the drawing's code page cannot hold. The drawing document is
// UTF-8, but the emulated host hands every name to the plug-in in the
// drawing's code page and refuses at load a name that code page cannot hold.
// A model file's names come from anywhere: each character the code page
// lacks becomes '?', as Windows' own conversion does, and the person is told.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace pelmora::tool {

// Warnings listed one by one; the rest are counted in one more.
inline constexpr std::size_t kMaxListedNames = 10;

class CodePageNames {
public:
    explicit CodePageNames(int codePage) : codePage_(codePage) {}

    // `name` (valid UTF-8) in the code page, as the drawing holds its names,
    // each character the code page lacks written as '?'.
    std::string hostName(const std::string& name);

    // One warning per name that was changed (the first kMaxListedNames),
    // naming the original and what it became, then one counting the rest.
    std::vector<std::string> warnings() const;

private:
    int codePage_;
    std::map<std::string, std::string> hostNames_;              // every name seen, and its bytes
    std::vector<std::pair<std::string, std::string>> changed_;  // in the order met, both in UTF-8
};

}  // namespace pelmora::tool
