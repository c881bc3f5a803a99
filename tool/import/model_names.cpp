#include "tool/import/model_names.h"

#include <algorithm>
#include <optional>

#include "platform/code_page.h"
#include "qmxread/qmx_print.h"

namespace pelmora::tool {
namespace {

// Length of the UTF-8 sequence that starts with `lead` (the text is valid).
std::size_t sequenceLength(unsigned char lead) {
    if (lead < 0x80) return 1;
    if (lead < 0xE0) return 2;
    if (lead < 0xF0) return 3;
    return 4;
}

// A name in quotes for a message line.
std::string quoted(const std::string& name) { return "\"" + qmxread::escapedControls(name) + "\""; }

}  // namespace

std::string CodePageNames::hostName(const std::string& name) {
    if (auto known = hostNames_.find(name); known != hostNames_.end()) return known->second;
    std::optional<std::string> bytes = base::fromUtf8(name, codePage_);
    if (!bytes) {
        std::string fitted;
        bytes.emplace();
        for (std::size_t i = 0; i < name.size();) {
            const std::size_t length = std::min(sequenceLength(static_cast<unsigned char>(name[i])), name.size() - i);
            const std::string character = name.substr(i, length);
            const std::optional<std::string> held = base::fromUtf8(character, codePage_);
            fitted += held ? character : std::string("?");
            *bytes += held ? *held : std::string("?");
            i += length;
        }
        changed_.emplace_back(name, fitted);
    }
    hostNames_.emplace(name, *bytes);
    return *bytes;
}

std::vector<std::string> CodePageNames::warnings() const {
    const std::string codePage = "code page " + std::to_string(codePage_);
    std::vector<std::string> texts;
    for (std::size_t i = 0; i < changed_.size() && i < kMaxListedNames; ++i)
        texts.push_back("the model's name " + quoted(changed_[i].first) + " has characters " + codePage +
                        " (the drawing's) cannot hold; imported as " + quoted(changed_[i].second));
    if (changed_.size() > kMaxListedNames)
        texts.push_back("and " + std::to_string(changed_.size() - kMaxListedNames) +
                        " more of the model's names with characters " + codePage +
                        " cannot hold, each such character imported as '?'");
    return texts;
}

}  // namespace pelmora::tool
