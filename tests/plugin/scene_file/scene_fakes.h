// Tree sources and a watching scene description for writer tests: nodes and
// motion items are given as plain data; every payload handed to the writer is
// logged, and so is every payload the writer gives back for release.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "plugin/scene_file/records.h"
#include "plugin/scene_file/scene_description.h"

namespace pelmora::scene_test {

struct PayloadLedger {
    std::multiset<const std::uint8_t*> handedOut;
    std::multiset<const std::uint8_t*> givenBack;

    std::uint8_t* allocate(const std::vector<std::uint8_t>& bytes) {
        auto* data = new std::uint8_t[bytes.size()];
        std::memcpy(data, bytes.data(), bytes.size());
        handedOut.insert(data);
        return data;
    }
};

struct MotionPlan {
    bool present = true;  // false: the source reports nothing at this index
    std::string name = "motionTranslate";
    std::int32_t key = 0;
    std::int32_t motionFlags = 0;
    std::int32_t dataFormat = 1;
    std::vector<std::uint8_t> payload;
};

class FakeSource : public TreeSource {
public:
    FakeSource(PayloadLedger& ledger, std::uint32_t id, std::int32_t type, std::string name)
        : ledger_(ledger), id_(id), type_(type), name_(std::move(name)) {}

    std::vector<std::uint8_t> payload;
    std::int32_t dataFormat = 1;
    std::uint32_t attrA = 0;
    std::uint32_t attrB = 0;
    std::vector<MotionPlan> motions;
    std::vector<TreeSource*> children;  // may hold null

    void describe(bool legacy, NodeRecord& node) override {
        node.fill(legacy, id_, type_, name_.c_str());
        node.attrA = attrA;
        node.attrB = attrB;
        if (!payload.empty())
            node.attach(ledger_.allocate(payload), static_cast<std::int32_t>(payload.size()), dataFormat);
    }
    unsigned childCount() override { return static_cast<unsigned>(children.size()); }
    TreeSource* child(unsigned index) override { return index < children.size() ? children[index] : nullptr; }
    unsigned motionCount() override { return static_cast<unsigned>(motions.size()); }
    bool motion(unsigned index, bool legacy, MotionRecord& record) override {
        const MotionPlan& plan = motions.at(index);
        record.reset(legacy);
        boundedCopy(record.name, plan.name.c_str(), kNameLimit);
        record.key = plan.key;
        record.motionFlags = plan.motionFlags;
        if (!plan.payload.empty())
            record.attach(ledger_.allocate(plan.payload), static_cast<std::int32_t>(plan.payload.size()),
                          plan.dataFormat);
        return plan.present;
    }

private:
    PayloadLedger& ledger_;
    std::uint32_t id_;
    std::int32_t type_;
    std::string name_;
};

class WatchedScene : public SceneDescription {
public:
    WatchedScene(TreeSource* root, PayloadLedger& ledger) : SceneDescription(root), ledger_(ledger) {}

    int finishCalls = 0;
    int finishResult = -1;
    int releaseNodeCalls = 0;
    int releaseMotionCalls = 0;

    int releaseNode(TreeSource* node, NodeRecord* record) override {
        ++releaseNodeCalls;
        if (record != nullptr && record->data != nullptr) ledger_.givenBack.insert(record->data);
        return SceneDescription::releaseNode(node, record);
    }
    int releaseMotion(TreeSource* node, unsigned index, MotionRecord* record) override {
        ++releaseMotionCalls;
        if (record != nullptr && record->data != nullptr) ledger_.givenBack.insert(record->data);
        return SceneDescription::releaseMotion(node, index, record);
    }
    int finish(int result) override {
        ++finishCalls;
        finishResult = result;
        return SceneDescription::finish(result);
    }

private:
    PayloadLedger& ledger_;
};

// A fresh, empty folder for one test.
inline std::filesystem::path freshFolder(const std::string& name) {
    std::filesystem::path folder =
        std::filesystem::path(::testing::TempDir()) / ("pelmora_scene_file_" + name + "_" + std::to_string(::getpid()));
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    return folder;
}

inline std::vector<std::uint8_t> fileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The file's text with the platform's line end read as "\n": the ASCII modes
// are the platform's text modes, so on Windows every line of the file must end
// in CR LF (a bare LF there is a failure of its own).
inline std::string fileText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::string bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>{});
#if defined(_WIN32)
    std::string text;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
        if (bytes[i] == '\n' && (i == 0 || bytes[i - 1] != '\r'))
            ADD_FAILURE() << "a line of " << path << " ends in LF alone";
        text += bytes[i];
    }
    return text;
#else
    return bytes;
#endif
}

}  // namespace pelmora::scene_test
