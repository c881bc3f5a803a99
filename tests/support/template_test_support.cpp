#include "tests/support/template_test_support.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <fstream>

#include "plugin/host/current_callback.h"
#include "plugin/platform/portable_hooks.h"

namespace pelmora::test {
namespace {

std::atomic<int> g_folderCount{0};

struct FakeHostState {
    std::string baseFolder;
    std::vector<std::string> classes;
    FakeHost* owner = nullptr;
};
FakeHostState g_state;

std::int32_t getFolderPath(std::int32_t kind, char* out, std::int32_t) {
    if (kind != 1 || g_state.baseFolder.size() + 1 > static_cast<std::size_t>(host::kHostPathLimit)) {
        return host::kFolderPathMissing;
    }
    std::memcpy(out, g_state.baseFolder.c_str(), g_state.baseFolder.size() + 1);
    return 0;
}

std::int32_t classIndexByName(const std::uint8_t* name) {
    const std::string asked(reinterpret_cast<const char*>(name + 1), name[0]);
    g_state.owner->namesAsked.push_back(asked);
    for (std::size_t i = 0; i < g_state.classes.size(); ++i) {
        if (g_state.classes[i] == asked) return static_cast<std::int32_t>(i + 1);
    }
    return 0;
}

HostServiceAddress lookup(std::int32_t service) {
    switch (service) {
        case host::kGetFolderPath:
            return reinterpret_cast<HostServiceAddress>(&getFolderPath);
        case host::kClassIndexByName:
            return reinterpret_cast<HostServiceAddress>(&classIndexByName);
        default:
            return nullptr;
    }
}

void collectMessage(const char* text, void*) { g_state.owner->messages.emplace_back(text); }

}  // namespace

TempFolder::TempFolder() {
    path_ = std::filesystem::path(::testing::TempDir()) /
            ("pelmora_templates_" + std::to_string(::getpid()) + "_" + std::to_string(g_folderCount++));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

void TempFolder::write(const std::string& relative, const std::string& bytes) const {
    const auto target = path_ / relative;
    std::filesystem::create_directories(target.parent_path());
    std::ofstream out(target, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

FakeHost::FakeHost(std::string baseFolder, std::vector<std::string> classes) : savedCallback_(host::currentCallback()) {
    g_state = FakeHostState{std::move(baseFolder), std::move(classes), this};
    host::setCurrentCallback(&lookup);
    PelmoraPortableHooks hooks{};
    hooks.messageBox = &collectMessage;
    platform::setPortableHooks(&hooks);
}

FakeHost::~FakeHost() {
    platform::setPortableHooks(nullptr);
    host::setCurrentCallback(savedCallback_);
    g_state = FakeHostState{};
}

}  // namespace pelmora::test
