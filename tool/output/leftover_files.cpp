#include "tool/output/leftover_files.h"

#include <algorithm>

#include "platform/file_attributes.h"
#include "platform/file_status.h"
#include "platform/interrupt_signal.h"
#include "platform/process.h"

namespace pelmora::tool {
namespace {

// Reads a name from its front, one part at a time.
class NameReader {
public:
    explicit NameReader(std::string_view text) : rest_(text) {}

    bool take(std::string_view part) {
        if (rest_.substr(0, part.size()) != part) return false;
        rest_.remove_prefix(part.size());
        return true;
    }
    bool number(long& value) {
        std::size_t digits = 0;
        value = 0;
        while (digits < rest_.size() && rest_[digits] >= '0' && rest_[digits] <= '9') {
            if (digits == 12) return false;  // no process id is that long
            value = value * 10 + (rest_[digits++] - '0');
        }
        rest_.remove_prefix(digits);
        return digits > 0;
    }
    // "[-N]": the attempt a name was made at.
    bool attempt() {
        long ignored = 0;
        return !take("-") || number(ignored);
    }
    // ".part" or ".part.pelmora-tmp", and nothing after it.
    bool partEnding() { return take(".part") && (rest_.empty() || (take(".pelmora-tmp") && rest_.empty())); }
    bool atEnd() const { return rest_.empty(); }

private:
    std::string_view rest_;
};

}  // namespace

long leftoverOwner(std::string_view entry, std::string_view name) {
    long owner = 0, serial = 0;
    if (NameReader r(entry);
        r.take(".") && r.take(name) && r.take(".") && r.number(owner) && r.attempt() && r.partEnding())
        return owner;
    if (NameReader r(entry); r.take(".pelmora-") && r.number(owner) && r.attempt() && r.partEnding()) return owner;
    if (NameReader r(entry);
        r.take(name) && r.take(".new-") && r.number(owner) && r.take("-") && r.number(serial) && r.atEnd())
        return owner;
    return 0;
}

Leftovers removeLeftovers(const std::string& file) {
    Leftovers found;
    const std::size_t slash = file.find_last_of(system::kPathSeparators);
    const std::string folder = slash == std::string::npos ? std::string(".") : file.substr(0, slash);
    const std::string name = slash == std::string::npos ? file : file.substr(slash + 1);
    if (name.empty()) return found;
    const std::string listed = folder.empty() ? std::string("/") : folder;
    const std::vector<std::string> plain = system::plainFilesIn(listed);
    for (const std::string& entry : system::namesIn(listed)) {
        const long owner = leftoverOwner(entry, name);
        if (owner == 0 || owner == system::processId() || system::processExists(owner)) continue;
        const std::string path = (folder.empty() ? "/" : folder + "/").append(entry);
        const bool regular = std::find(plain.begin(), plain.end(), entry) != plain.end();
        if (regular && system::markedAsOurs(path)) {
            system::removeFileNow(path.c_str());
            ++found.removed;
        } else {
            found.lookalikes.push_back(entry);
        }
    }
    std::sort(found.lookalikes.begin(), found.lookalikes.end());
    return found;
}

std::string lookalikesNote(const std::string& file, const Leftovers& leftovers) {
    if (leftovers.lookalikes.empty()) return {};
    std::string names;
    for (const std::string& each : leftovers.lookalikes) names += (names.empty() ? "" : ", ") + each;
    const std::size_t slash = file.find_last_of(system::kPathSeparators);
    const std::string folder = slash == std::string::npos ? std::string(".") : file.substr(0, slash + 1);
    return "left alone in " + folder + ": " + names + (leftovers.lookalikes.size() == 1 ? " is" : " are") +
           " named like a file a killed run of pelmora leaves, but not marked as one of its files; remove "
           "what is not yours to keep";
}

}  // namespace pelmora::tool
