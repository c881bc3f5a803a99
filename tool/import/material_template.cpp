#include "tool/import/material_template.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "platform/code_page.h"
#include "platform/path_text.h"

namespace pelmora::tool {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kMaxFileNameBytes = 250;  // with ".qmt", within the usual 255

// Fixed notation, always with a point and without the locale's say.
std::string number(double value) {
    char text[64];
    const auto end = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 6).ptr;
    return std::string(text, end);
}

std::string colourLine(const char* key, const float (&colour)[3]) {
    return std::string("    ") + key + " " + number(colour[0]) + " " + number(colour[1]) + " " + number(colour[2]) +
           "\n";
}

// The display name in quotes: a quote inside would end it early.
std::string displayName(const std::string& utf8) {
    std::string text = utf8;
    std::replace(text.begin(), text.end(), '"', '\'');
    std::replace_if(
        text.begin(), text.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
    return text;
}

bool writeFile(const fs::path& path, const std::string& text) {
    fs::path part = path;
    part += ".part";
    {
        std::ofstream out(part, std::ios::binary | std::ios::trunc);
        out << text;
        out.close();
        if (!out) {
            std::error_code ignored;
            fs::remove(part, ignored);
            return false;
        }
    }
    std::error_code error;
    fs::rename(part, path, error);
    if (error) fs::remove(part, error);
    return !error;
}

}  // namespace

std::string materialTemplateText(const ImportedMaterial& material, int codePage) {
    std::string text = "VELTRAMOX \"" + displayName(base::toUtf8Replacing(material.className, codePage)) +
                       "\" Script File\n"
                       "# The material of the imported model's class of this name; edit it as any template.\n"
                       "motion create motionMaterial\n";
    text += colourLine("diffuse", material.diffuse);
    text += colourLine("ambient", material.ambient);
    text += colourLine("specular", material.specular);
    text += colourLine("emissive", material.emissive);
    text += "    specularpower " + number(material.shininess) + "\n";
    if (material.opacity < 1.0f) {
        const float clear = 1.0f - material.opacity;
        const float transparent[3] = {clear, clear, clear};
        text += colourLine("transparent", transparent);
    }
    if (material.refraction > 0.0f) text += "    refractionindex " + number(material.refraction) + "\n";
    text += "end\n";
    return text;
}

std::optional<std::string> templateFileName(const std::string& className, int codePage) {
    const std::optional<std::string> utf8 = base::toUtf8(className, codePage);
    if (!utf8 || utf8->empty() || *utf8 == "." || *utf8 == ".." || utf8->size() > kMaxFileNameBytes)
        return std::nullopt;
    for (const char c : *utf8)
        if (c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return std::nullopt;
    return *utf8 + ".qmt";
}

WrittenTemplates writeMaterialTemplates(const std::string& folder, const std::vector<ImportedMaterial>& materials,
                                        int codePage, bool replace, const std::vector<std::string>& taken) {
    WrittenTemplates result;
    for (const ImportedMaterial& material : materials) {
        const std::optional<std::string> name = templateFileName(material.className, codePage);
        if (!name) {
            result.unnamed.push_back(base::toUtf8Replacing(material.className, codePage) +
                                     ": the class name cannot be a file name");
            continue;
        }
        if (std::find(taken.begin(), taken.end(), *name) != taken.end()) continue;
        const fs::path path = system::pathOf(folder) / system::pathOf(*name);
        std::error_code error;
        if (!replace && fs::exists(fs::symlink_status(path, error))) {
            result.kept.push_back(*name);
            continue;
        }
        if (writeFile(path, materialTemplateText(material, codePage))) result.written.push_back(*name);
        else result.failed.push_back(*name + ": cannot be written in " + folder);
    }
    return result;
}

}  // namespace pelmora::tool
