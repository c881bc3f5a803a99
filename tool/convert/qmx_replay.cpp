#include "tool/convert/qmx_replay.h"

#include <bit>
#include <cstring>

#include "base/legacy_flags.h"
#include "plugin/scene_file/bounded_copy.h"

namespace pelmora::tool {

namespace {

using qmxread::HeaderEntry;

std::uint8_t* copyPayload(const std::vector<std::uint8_t>& data) {
    auto* bytes = new std::uint8_t[data.size()];
    std::memcpy(bytes, data.data(), data.size());
    return bytes;
}

bool isPositiveZero(float f) { return std::bit_cast<std::uint32_t>(f) == 0; }
bool isPositiveZero(const base::Vec3f& v) { return isPositiveZero(v.x) && isPositiveZero(v.y) && isPositiveZero(v.z); }

// A record string holds at most 254 characters and ends at the first NUL.
std::string textObstacle(const std::string& text, const std::string& what) {
    if (text.size() > kNameLimit - 1) {
        return what + " has " + std::to_string(text.size()) + " characters; a record holds at most " +
               std::to_string(kNameLimit - 1);
    }
    if (text.find('\0') != std::string::npos) return what + " contains a NUL character";
    return {};
}

std::string headerObstacle(const qmxread::Header& header) {
    const bool legacy = header.layout == qmxread::Layout::Legacy;
    std::vector<std::string> expected = {"version", "machine", "client"};
    if (!legacy) expected.insert(expected.end(), {"SubFormat", "ITFlags"});
    expected.insert(expected.end(), {"FPS", "maxTime"});
    if (header.checksums && !legacy) expected.push_back("CheckSum");
    std::string got, want;
    for (const HeaderEntry& entry : header.entries) got += (got.empty() ? "" : " ") + entry.key;
    for (const std::string& key : expected) want += (want.empty() ? "" : " ") + key;
    if (got != want) return "the header keys are \"" + got + "\"; the writer writes \"" + want + "\"";
    for (const HeaderEntry& entry : header.entries) {
        std::string obstacle = textObstacle(entry.text, "header value of " + entry.key);
        if (!obstacle.empty()) return obstacle;
    }
    return {};
}

std::string motionObstacle(const qmxread::Motion& motion, bool legacy, const std::string& where) {
    for (const auto& [text, what] : {std::pair{&motion.name, "name"}, std::pair{&motion.subName, "subName"},
                                     std::pair{&motion.extraName, "extraName"}}) {
        std::string obstacle = textObstacle(*text, where + " " + what);
        if (!obstacle.empty()) return obstacle;
    }
    if (!legacy) return {};
    const qmxread::LegacyMotionValues& l = motion.legacy;
    const std::int32_t flags = motion.motionFlags;
    const bool derivedMatch = l.keyed == ((motion.key == 0 && (flags & 0x80)) ? 0 : 1) &&
                              l.flag10 == ((flags & 0x10) ? 1 : 0) && l.flag20 == ((flags & 0x20) ? 1 : 0) &&
                              l.notFlag100 == ((flags & 0x100) ? 0 : 1);
    if (!derivedMatch) return where + ": the flag values do not follow from key and motionFlags";
    const bool zeros = isPositiveZero(l.quad[0]) && isPositiveZero(l.quad[1]) && isPositiveZero(l.quad[2]) &&
                       isPositiveZero(l.quad[3]) && isPositiveZero(l.vectorB) && isPositiveZero(l.floatC) &&
                       isPositiveZero(l.vectorC);
    if (!zeros) return where + ": a value the writer always writes as 0 is not 0";
    return {};
}

std::string nodeObstacle(const qmxread::Node& node, bool legacy) {
    const std::string where = "node " + std::to_string(node.id) + " at offset " + std::to_string(node.offset);
    if (node.name.empty()) return where + " has an empty name; the writer writes \"Node\" for it";
    for (const auto& [text, what] : {std::pair{&node.name, "name"}, std::pair{&node.subName, "subName"}}) {
        std::string obstacle = textObstacle(*text, where + " " + what);
        if (!obstacle.empty()) return obstacle;
    }
    if (legacy) {
        if (node.kind < 4)
            return where + ": kind " + std::to_string(node.kind) + " is below 4, which the writer raises";
        if (node.legacy.zeroInt != 0 || !isPositiveZero(node.legacy.zeroFloat) ||
            !isPositiveZero(node.legacy.zeroVector)) {
            return where + ": a value the writer always writes as 0 is not 0";
        }
        if (base::foldLegacyFlags({node.attrA, node.attrB}) != node.legacy.flagWord) {
            return where + ": the flag word does not fold back";
        }
    }
    for (const qmxread::Motion& motion : node.motions) {
        std::string obstacle = motionObstacle(motion, legacy, "motion item at offset " + std::to_string(motion.offset));
        if (!obstacle.empty()) return obstacle;
    }
    for (const qmxread::Node& child : node.children) {
        std::string obstacle = nodeObstacle(child, legacy);
        if (!obstacle.empty()) return obstacle;
    }
    return {};
}

}  // namespace

std::string replayObstacle(const qmxread::QmxFile& file) {
    std::string obstacle = headerObstacle(file.header);
    if (!obstacle.empty()) return obstacle;
    const bool legacy = file.header.layout == qmxread::Layout::Legacy;
    for (const qmxread::Node& root : file.roots) {
        obstacle = nodeObstacle(root, legacy);
        if (!obstacle.empty()) return obstacle;
    }
    return {};
}

ReplayNode::ReplayNode(const qmxread::Node& node) : node_(node) {
    children_.reserve(node.children.size());
    for (const qmxread::Node& child : node.children) children_.push_back(std::make_unique<ReplayNode>(child));
}

void ReplayNode::describe(bool legacy, NodeRecord& r) {
    r.fill(legacy, node_.id, node_.type, node_.name.c_str());
    r.kind = node_.kind;
    r.attrA = node_.attrA;
    r.attrB = node_.attrB;
    boundedCopy(r.subName, node_.subName.c_str(), kNameLimit);
    r.vecA = node_.vecA;
    r.intA = node_.intA;
    r.targetId1 = node_.targetId1;
    r.targetId2 = node_.targetId2;
    r.intB = node_.intB;
    r.vecB = node_.vecB;
    r.vecC = node_.vecC;
    r.vecD = node_.vecD;
    r.intC = node_.intC;
    r.dataFormat = node_.dataFormat;
    if (!node_.data.empty()) {
        r.attach(copyPayload(node_.data), static_cast<std::int32_t>(node_.data.size()), node_.dataFormat);
    }
}

unsigned ReplayNode::childCount() { return static_cast<unsigned>(children_.size()); }

TreeSource* ReplayNode::child(unsigned index) { return index < children_.size() ? children_[index].get() : nullptr; }

unsigned ReplayNode::motionCount() { return static_cast<unsigned>(node_.motions.size()); }

bool ReplayNode::motion(unsigned index, bool legacy, MotionRecord& r) {
    if (index >= node_.motions.size()) return false;
    const qmxread::Motion& m = node_.motions[index];
    r.reset(legacy);
    r.kind = m.kind;
    boundedCopy(r.name, m.name.c_str(), kNameLimit);
    boundedCopy(r.subName, m.subName.c_str(), kNameLimit);
    boundedCopy(r.extraName, m.extraName.c_str(), kNameLimit);
    r.key = m.key;
    r.intA = m.intA;
    r.motionFlags = m.motionFlags;
    r.intB = m.intB;
    r.weight = m.weight;
    r.vecA = m.vecA;
    r.intC = m.intC;
    r.floatB = m.floatB;
    r.dataFormat = m.dataFormat;
    if (!m.data.empty()) r.attach(copyPayload(m.data), static_cast<std::int32_t>(m.data.size()), m.dataFormat);
    return true;
}

ReplayScene::ReplayScene(const qmxread::QmxFile& file) : file_(file) {
    roots_.reserve(file.roots.size());
    for (const qmxread::Node& root : file.roots) roots_.push_back(std::make_unique<ReplayNode>(root));
}

int ReplayScene::text(const char* key, char* out) const {
    const HeaderEntry* entry = file_.header.find(key);
    if (out == nullptr || entry == nullptr) return 0;
    boundedCopy(out, entry->text.c_str(), kNameLimit);
    return 1;
}

std::int32_t ReplayScene::number(const char* key) const {
    const HeaderEntry* entry = file_.header.find(key);
    return entry != nullptr ? entry->number : 0;
}

int ReplayScene::version(bool, char* out) { return text("version", out); }
int ReplayScene::machine(char* out) { return text("machine", out); }
int ReplayScene::client(char* out) { return text("client", out); }
std::int32_t ReplayScene::subFormat() { return number("SubFormat"); }
std::int32_t ReplayScene::itFlags() { return number("ITFlags"); }
std::int32_t ReplayScene::fps() { return number("FPS"); }
std::int32_t ReplayScene::maxTime() { return number("maxTime"); }
unsigned ReplayScene::rootCount() { return static_cast<unsigned>(roots_.size()); }

TreeSource* ReplayScene::root(unsigned index) { return index < roots_.size() ? roots_[index].get() : nullptr; }

}  // namespace pelmora::tool
