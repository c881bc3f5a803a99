// The host folder an export of a model hands the plug-in: a private folder
// holding a copy of the host folder's templates and id table, and a template
// made from the model's material for each class the host folder has none
// for. The user's host folder is never written; its own templates win. The
// folder goes with the object, and with the process on a second Ctrl+C.
#pragma once

#include <string>
#include <vector>

#include "tool/import/imported_material.h"

namespace pelmora::tool {

class TemplateOverlay {
public:
    // `hostDir` ends with the separator. An empty folder() when the overlay
    // could not be made whole (its folder, a copy or a template could not be
    // written); failure() says why.
    TemplateOverlay(const std::string& hostDir, const std::vector<ImportedMaterial>& materials, int codePage);
    ~TemplateOverlay();
    TemplateOverlay(const TemplateOverlay&) = delete;
    TemplateOverlay& operator=(const TemplateOverlay&) = delete;

    const std::string& folder() const { return folder_; }  // ends with the separator
    const std::string& failure() const { return failure_; }
    std::size_t generated() const { return generated_; }
    // Classes whose name cannot be a file name (no template), with the reason.
    const std::vector<std::string>& leftOut() const { return leftOut_; }

private:
    bool copyHostFiles(const std::string& hostDir, std::vector<std::string>& names);

    std::string root_, folder_, failure_;
    std::size_t generated_ = 0;
    std::vector<std::string> leftOut_;
};

}  // namespace pelmora::tool
