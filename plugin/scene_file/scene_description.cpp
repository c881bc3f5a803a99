#include "plugin/scene_file/scene_description.h"

#include "plugin/scene_file/bounded_copy.h"
#include "plugin/scene_file/result_code.h"

namespace pelmora {

namespace {

constexpr const char* kCurrentVersion = "2.02.2010";
constexpr const char* kLegacyVersion = "1.25.2002";
constexpr const char* kMachine = "WINDOWS";
constexpr const char* kClient = "VectorWorks2008";

}  // namespace

int SceneDescription::begin() { return kDone; }

int SceneDescription::version(bool legacy, char* out) {
    if (out == nullptr) return kFailed;
    boundedCopy(out, legacy ? kLegacyVersion : kCurrentVersion, kNameLimit);
    return kDone;
}

int SceneDescription::machine(char* out) {
    if (out == nullptr) return kFailed;
    boundedCopy(out, kMachine, kNameLimit);
    return kDone;
}

int SceneDescription::client(char* out) {
    if (out == nullptr) return kFailed;
    boundedCopy(out, kClient, kNameLimit);
    return kDone;
}

std::int32_t SceneDescription::subFormat() { return 1048; }
std::int32_t SceneDescription::itFlags() { return 1; }
std::int32_t SceneDescription::fps() { return 24; }
std::int32_t SceneDescription::maxTime() { return 8000; }
unsigned SceneDescription::rootCount() { return 1; }

TreeSource* SceneDescription::root(unsigned index) { return index == 0 ? root_ : nullptr; }

unsigned SceneDescription::childCount(TreeSource* node) { return node != nullptr ? node->childCount() : 0; }

TreeSource* SceneDescription::child(TreeSource* node, unsigned index) {
    return node != nullptr ? node->child(index) : nullptr;
}

int SceneDescription::describeNode(TreeSource* node, bool legacy, NodeRecord* record) {
    if (node == nullptr || record == nullptr) return kNothingDone;
    node->describe(legacy, *record);
    return kDone;
}

int SceneDescription::releaseNode(TreeSource* node, NodeRecord* record) {
    if (node == nullptr || record == nullptr) return kNothingDone;
    record->release();
    return kDone;
}

unsigned SceneDescription::motionCount(TreeSource* node) { return node != nullptr ? node->motionCount() : 0; }

int SceneDescription::getMotion(TreeSource* node, unsigned index, bool legacy, MotionRecord* record) {
    if (node == nullptr || record == nullptr) return kNothingDone;
    return node->motion(index, legacy, *record) ? kDone : kNothingDone;
}

int SceneDescription::releaseMotion(TreeSource* /*node*/, unsigned /*index*/, MotionRecord* record) {
    if (record != nullptr) record->release();
    return kDone;
}

int SceneDescription::finish(int /*result*/) { return kDone; }

}  // namespace pelmora
