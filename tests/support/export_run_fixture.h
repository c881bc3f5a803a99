// Runs the whole export command in-process: the emulated host holds the
// drawing, the portable hooks answer the save dialog and the abort poll, and
// every step the tests care about is logged in the order it happened.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "hostsim/document/drawing.h"
#include "hostsim/host/emulated_host.h"
#include "plugin/command/plugin_main.h"
#include "plugin/platform/portable_hooks.h"
#include "tests/support/temp_folder.h"

namespace pelmora::exporttest {

// One drawing with a perspective view, a light and a polygon of class Walls on
// the active layer (the smallest document of the drawing document contract).
inline constexpr const char* kMinimalDrawing = R"({
  "pelmoraDrawing": 1,
  "unitsPerInch": 25.4,
  "classes": ["None", "Walls"],
  "view": {"perspective": true, "distance": 5000, "focal": 1000, "box": [-1, -1, 1, 1]},
  "layers": [
    {"name": "Ground", "objects": [
      {"type": "polygon", "class": "Walls", "selected": true,
       "points": [[0,0,0], [1000,0,0], [1000,0,2500], [0,0,2500]]},
      {"type": "light", "name": "Sun", "properties": {"51": 1.0, "52": [1,1,1], "54": [0,-3000,5000], "55": 0, "56": [0,1,-1]}}
    ]}
  ]
})";

// Lights only: nothing for the pre-check to find.
inline constexpr const char* kLightsOnlyDrawing = R"({
  "pelmoraDrawing": 1,
  "layers": [
    {"name": "Ground", "objects": [
      {"type": "light", "name": "Lamp", "properties": {"54": [0,0,2000], "55": 1}}
    ]}
  ]
})";

class ExportRun {
public:
    enum class Save { Answer, Cancel, NoHook };

    explicit ExportRun(const std::string& drawingJson)
        : host_(std::make_unique<hostsim::EmulatedHost>(hostsim::parseDrawing(drawingJson))) {
        hostDir_ = folder_.withSeparator() + "host/";
        std::filesystem::create_directories(hostDir_ + "Pelmora");
        host_->setFolder(1, hostDir_);
        host_->setFolder(2, hostDir_);
        outputPath_ = folder_ / "out/scene.qmx";
        std::filesystem::create_directories(folder_ / "out");
        host_->onMessage([this](const hostsim::ShownMessage& message) {
            log_.push_back("message " + std::to_string(message.list) + "/" + std::to_string(message.index));
        });
    }
    ~ExportRun() { platform::setPortableHooks(nullptr); }

    hostsim::EmulatedHost& host() { return *host_; }
    hostsim::DialogScript& dialog() { return host_->dialogScript(); }
    const std::string& hostDir() const { return hostDir_; }
    const std::string& outputPath() const { return outputPath_; }
    void setOutputPath(std::string path) { outputPath_ = std::move(path); }
    std::string outputFolder() const { return folder_ / "out"; }
    std::string prefPath() const { return hostDir_ + "Data/Pelmora.pref"; }
    TempFolder& folder() { return folder_; }

    Save save = Save::Answer;
    int abortAtPoll = 0;  // 0: never

    // The log: "save", "poll", "message L/I", "box TEXT", in order.
    const std::vector<std::string>& log() const { return log_; }
    int count(const std::string& entry) const {
        int n = 0;
        for (const auto& e : log_) n += e == entry;
        return n;
    }
    std::vector<std::string> messages() const {
        std::vector<std::string> out;
        for (const auto& e : log_)
            if (e.rfind("message ", 0) == 0) out.push_back(e.substr(8));
        return out;
    }
    // At the save dialog: whether the output existed and how many polls had run.
    bool outputExistedAtSave = false;
    int pollsBeforeSave = -1;
    int forEachCallsBeforeSave = -1;
    bool outputExistedAtAnyPoll = false;

    void run() {
        PelmoraPortableHooks hooks{};
        hooks.user = this;
        hooks.messageBox = [](const char* text, void* user) {
            static_cast<ExportRun*>(user)->log_.push_back(std::string("box ") + text);
        };
        if (save != Save::NoHook) hooks.saveDialog = &saveHook;
        hooks.abortRequested = [](void* user) -> int {
            auto& self = *static_cast<ExportRun*>(user);
            self.log_.push_back("poll");
            ++self.polls_;
            if (std::filesystem::exists(self.outputPath_)) self.outputExistedAtAnyPoll = true;
            return self.abortAtPoll != 0 && self.polls_ >= self.abortAtPoll;
        };
        hooks.fileNameCodePage = host_->drawing().codePage;
        platform::setPortableHooks(&hooks);
        pluginMain(kActionRun, 0, 0, host_->callback());
        platform::setPortableHooks(nullptr);
    }

private:
    static int saveHook(const char* extension, const char* initialName, const char* filter, char* out, int capacity,
                        void* user) {
        auto& self = *static_cast<ExportRun*>(user);
        self.log_.push_back("save");
        self.saveArguments = std::string(extension) + "|" + initialName + "|" + filter;
        self.pollsBeforeSave = self.polls_;
        self.forEachCallsBeforeSave = self.host_->callCount(122);
        self.outputExistedAtSave = std::filesystem::exists(self.outputPath_);
        if (self.save == Save::Cancel) return 2;
        if (static_cast<int>(self.outputPath_.size()) >= capacity) return 2;
        std::copy(self.outputPath_.begin(), self.outputPath_.end(), out);
        out[self.outputPath_.size()] = '\0';
        return 1;
    }

public:
    std::string saveArguments;

private:
    TempFolder folder_;
    std::unique_ptr<hostsim::EmulatedHost> host_;
    std::string hostDir_;
    std::string outputPath_;
    std::vector<std::string> log_;
    int polls_ = 0;
};

}  // namespace pelmora::exporttest
