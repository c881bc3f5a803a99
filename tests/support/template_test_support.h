// Helpers for the template tests: text in memory, a fresh folder on disk, a
// fake host answering the folder and class services, captured message boxes.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "plugin/host/host_abi.h"
#include "plugin/templates/text_buffer.h"

namespace pelmora::test {

inline TextBuffer textOf(const std::string& text) {
    TextBuffer buffer;
    buffer.assign(text.data(), text.size());
    return buffer;
}

// A new empty folder under the test temp dir, removed when the object goes.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::filesystem::path& path() const { return path_; }
    // Writes `bytes` to `relative` under the folder, creating its folders.
    void write(const std::string& relative, const std::string& bytes) const;

private:
    std::filesystem::path path_;
};

// While alive: the current host callback answers service 453 (kind 1) with
// `baseFolder` and service 76 from `classes` (index = position + 1); message
// boxes are collected in `messages`.
class FakeHost {
public:
    FakeHost(std::string baseFolder, std::vector<std::string> classes);
    ~FakeHost();
    FakeHost(const FakeHost&) = delete;
    FakeHost& operator=(const FakeHost&) = delete;

    std::vector<std::string> messages;
    std::vector<std::string> namesAsked;  // every name passed to service 76

private:
    HostCallback savedCallback_;
};

}  // namespace pelmora::test
