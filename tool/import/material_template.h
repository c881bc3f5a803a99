// A model's material written as a material template (.qmt), the form in
// which the plug-in takes a class's look: the header, one motionMaterial
// section with the colours, shininess, transparency and refraction index.
// Every number is written with a decimal point, which the template reader
// takes as it stands (a colour of whole numbers it would read as 0 to 255).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tool/import/imported_material.h"

namespace pelmora::tool {

std::string materialTemplateText(const ImportedMaterial& material, int codePage);

// The template's file name for the class ("NAME.qmt", UTF-8); none when the
// name cannot be a file name (a path separator, a control character, "." or
// "..", or too long).
std::optional<std::string> templateFileName(const std::string& className, int codePage);

struct WrittenTemplates {
    std::vector<std::string> written;  // file names
    std::vector<std::string> kept;     // already there, left as they were
    std::vector<std::string> unnamed;  // "CLASS: why", for each class whose name cannot be a file name
    std::vector<std::string> failed;   // "NAME: why", for each that could not be written
};

// Writes a template of each material into `folder` (which exists). A file of
// that name is replaced only with `replace`; a class listed in `taken` (file
// names) gets none.
WrittenTemplates writeMaterialTemplates(const std::string& folder, const std::vector<ImportedMaterial>& materials,
                                        int codePage, bool replace, const std::vector<std::string>& taken = {});

}  // namespace pelmora::tool
