// Every material template of the plug-in's folder and the id table that gives
// drawing classes fixed ids, loaded once per export command.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "templates/params.h"

namespace pelmora {

struct MaterialTemplate {
    std::string name;  // file name less its last four characters
    MaterialParams material;
    std::vector<TextureParams> textures;
};

class TemplateLibrary {
public:
    // Reads the templates and the id table under the host's base folder (service 453, kind 1).
    void load();
    // Same, under `baseFolder` (ending with the path separator).
    void loadFrom(const std::string& baseFolder);

    void readTemplateFile(const std::string& path, const std::string& fileName);
    void readIdTable(const std::string& path);

    const MaterialTemplate* findTemplate(const std::string& name) const;
    std::optional<std::int32_t> findId(std::int32_t classIndex) const;

    const std::map<std::string, std::unique_ptr<MaterialTemplate>>& templates() const { return templates_; }
    const std::map<std::int32_t, std::int32_t>& idTable() const { return idTable_; }

private:
    std::map<std::string, std::unique_ptr<MaterialTemplate>> templates_;
    std::map<std::int32_t, std::int32_t> idTable_;
};

}  // namespace pelmora
