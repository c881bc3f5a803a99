#include "tool/convert/name_decoder.h"

#include <cstring>
#include <string_view>

#include "platform/code_page.h"
#include "plugin/payloads/node_names.h"

namespace pelmora::tool {
namespace {

std::string fromJapanese(std::string_view bytes) {
    return base::toUtf8Replacing(std::string(bytes), base::kCodePageJapanese);
}

// True when `bytes` is the printf format `format` (one %d) filled with a number.
bool filledFormat(std::string_view bytes, std::string_view format) {
    const std::size_t hole = format.find("%d");
    if (hole == std::string_view::npos) return bytes == format;
    const std::string_view before = format.substr(0, hole), after = format.substr(hole + 2);
    if (bytes.size() <= before.size() + after.size() || !bytes.starts_with(before) || !bytes.ends_with(after))
        return false;
    std::string_view number = bytes.substr(before.size(), bytes.size() - before.size() - after.size());
    if (number.front() == '-') number.remove_prefix(1);
    if (number.empty()) return false;
    for (char c : number)
        if (c < '0' || c > '9') return false;
    return true;
}

}  // namespace

std::string NameDecoder::operator()(const std::string& bytes) const {
    const std::string_view text = bytes;
    if (text == node_names::kCamera || text == node_names::kCameraTarget ||
        filledFormat(text, node_names::kUnnamedLight))
        return fromJapanese(text);
    // A light's target: the fixed prefix, ">", then the light's name, which is
    // the host's or, for an unnamed light, the plug-in's own (decoded above).
    static const std::string targetPrefix = std::string(node_names::kLightTargetPrefix) + ">";
    if (text.size() > targetPrefix.size() && text.starts_with(targetPrefix))
        return fromJapanese(targetPrefix) + (*this)(bytes.substr(targetPrefix.size()));
    return base::toUtf8Replacing(bytes, codePage_);
}

}  // namespace pelmora::tool
