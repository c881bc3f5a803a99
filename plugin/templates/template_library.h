// Every material template of the plug-in's folder and the id table that gives
// drawing classes fixed ids, loaded once per export command.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "plugin/templates/load_report.h"
#include "plugin/templates/params.h"
#include "plugin/templates/text_buffer.h"

namespace pelmora {

struct MaterialTemplate {
    std::string name;  // file name less its last four characters
    MaterialParams material;
    std::vector<TextureParams> textures;
};

// Paths are built for buffers of the platform's path limit: a path of this
// many characters or more is treated as a file that is not there.
inline constexpr std::size_t kTemplatePathLimit = 260;
// The longest class name the host takes as a length-prefixed name.
inline constexpr std::size_t kMaxClassNameLength = 62;
// The message shown (once per file) for a template whose body cannot be read.
std::string readErrorMessage(const std::string& fileName);

class TemplateLibrary {
public:
    // Gives the host's class index of a length-prefixed class name; 0 or less
    // when the drawing has no such class.
    using ClassLookup = std::function<std::int32_t(const std::uint8_t* lengthPrefixedName)>;

    // Class names are looked up through host service 76 unless told otherwise.
    TemplateLibrary();

    // Reads the templates and the id table under the host's base folder (service 453, kind 1).
    void load();
    // Same, under `baseFolder` (ending with the path separator); an empty one loads nothing.
    void loadFrom(const std::string& baseFolder);

    void readTemplateFile(const std::string& path, const std::string& fileName);
    void readIdTable(const std::string& path);
    // The same readers over text already in memory.
    void readTemplateText(TextBuffer& text, const std::string& fileName);
    void readIdTableText(TextBuffer& text);

    // Options for checkers and tests; the plug-in uses neither.
    void setClassLookup(ClassLookup lookup) { classLookup_ = std::move(lookup); }
    void setLoadReport(LoadReport* report) { report_ = report; }

    const MaterialTemplate* findTemplate(const std::string& name) const;
    std::optional<std::int32_t> findId(std::int32_t classIndex) const;

    const std::map<std::string, std::unique_ptr<MaterialTemplate>>& templates() const { return templates_; }
    const std::map<std::int32_t, std::int32_t>& idTable() const { return idTable_; }

private:
    void skip(const std::string& fileName, std::string reason);

    ClassLookup classLookup_;
    LoadReport* report_ = nullptr;
    std::map<std::string, std::unique_ptr<MaterialTemplate>> templates_;
    std::map<std::int32_t, std::int32_t> idTable_;
};

}  // namespace pelmora
