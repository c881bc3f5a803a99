#include "plugin/templates/template_library.h"

#include <new>

#include <cstring>

#include "plugin/host/host_abi.h"
#include "plugin/host/services.h"
#include "plugin/platform/files.h"
#include "plugin/platform/ui.h"
#include "plugin/templates/reader_errors.h"
#include "plugin/templates/section_readers.h"
#include "plugin/templates/tokenizer.h"

namespace pelmora {
namespace {

constexpr const char* kTemplateFolderName = "Pelmora";
constexpr const char* kTemplateExtension = "qmt";
constexpr const char* kIdTableName = "_id_table.txt";
constexpr std::int32_t kBaseFolderKind = 1;

bool fitsPathLimit(const std::string& path) { return path.size() < kTemplatePathLimit; }

std::int32_t hostClassIndex(const std::uint8_t* name) { return host::classIndexByName(name); }

}  // namespace

std::string readErrorMessage(const std::string& fileName) { return "Read QMT Error (" + fileName + ")"; }

TemplateLibrary::TemplateLibrary() : classLookup_(hostClassIndex) {}

void TemplateLibrary::skip(const std::string& fileName, std::string reason) {
    if (report_) report_->skipped.push_back({fileName, std::move(reason)});
}

void TemplateLibrary::load() {
    // The host writes a terminated path into a buffer of its path limit; a
    // host that lacks the service leaves the buffer as it was, empty.
    char base[host::kHostPathLimit] = {};
    host::getFolderPath(kBaseFolderKind, base, 0);
    if (std::memchr(base, '\0', sizeof base) == nullptr) return;  // unterminated: no usable folder
    loadFrom(base);
}

void TemplateLibrary::loadFrom(const std::string& baseFolder) {
    // Without a base folder there is nothing to read; a relative path would
    // read whatever the process's current folder holds.
    if (baseFolder.empty()) return;
    const std::string folder = baseFolder + kTemplateFolderName + platform::pathSeparator();
    if (report_) report_->templateFolder = folder;
    // The search pattern itself ("?*.qmt" after the folder) must fit the limit too.
    if (fitsPathLimit(folder + "?*." + kTemplateExtension)) {
        for (const std::string& name : platform::findFiles(folder, kTemplateExtension)) {
            if (report_) report_->found.push_back(name);
            const std::string path = folder + name;
            if (!fitsPathLimit(path)) {
                skip(name, kSkipPathTooLong);
                continue;
            }
            readTemplateFile(path, name);
        }
    }
    const std::string idTablePath = folder + kIdTableName;
    if (report_) report_->idTablePath = idTablePath;
    if (fitsPathLimit(idTablePath)) readIdTable(idTablePath);
}

void TemplateLibrary::readTemplateFile(const std::string& path, const std::string& fileName) {
    TextBuffer text;
    text.load(path);  // an unreadable file reads as an empty text, which fails the header
    readTemplateText(text, fileName);
}

void TemplateLibrary::readTemplateText(TextBuffer& text, const std::string& fileName) {
    Tokenizer tokenizer(text);
    try {
        tokenizer.expect("VELTRAMOX");
        std::string displayName;  // read and dropped: the file name names the template
        tokenizer.readString(displayName);
        tokenizer.expect("Script");
        tokenizer.expect("File");
    } catch (const std::bad_alloc&) {
        throw;  // out of memory fails the export; it is no fault of the file
    } catch (...) {
        skip(fileName, kSkipHeader);
        return;
    }

    auto created = std::make_unique<MaterialTemplate>();
    created->name = fileName.substr(0, fileName.size() >= 4 ? fileName.size() - 4 : 0);
    try {
        while (!tokenizer.atEnd()) {
            if (!tokenizer.lineStartsWith("motion")) continue;
            if (!tokenizer.nextIs("create")) continue;
            tokenizer.nextToken();
            if (tokenizer.lastIs("\"")) tokenizer.nextToken();
            if (tokenizer.lastIs("motionTexture")) {
                created->textures.push_back(TextureParams{});
                readTextureBlock(tokenizer, created->textures.back());
            } else if (tokenizer.lastIs("motionMaterial")) {
                created->material.kind = 1;
                readMaterialBlock(tokenizer, created->material);
            } else {
                // A kind of section this system cannot build: the whole template
                // is left out, without a message.
                skip(fileName, std::string(kSkipUnknownSection) + " " + tokenizer.lastToken());
                return;
            }
        }
    } catch (const unexpected_eof_error&) {
        // The end of the text, also inside a section: the template keeps what was read.
    } catch (const std::bad_alloc&) {
        throw;  // out of memory fails the export; it is no fault of the file
    } catch (...) {
        const std::string message = readErrorMessage(fileName);
        platform::showMessageBox(message);
        skip(fileName, message);
        return;
    }
    std::string name = created->name;
    templates_[std::move(name)] = std::move(created);
}

void TemplateLibrary::readIdTable(const std::string& path) {
    TextBuffer text;
    text.load(path);
    readIdTableText(text);
}

void TemplateLibrary::readIdTableText(TextBuffer& text) {
    if (text.length() == 0) return;  // missing, unreadable or empty: no ids
    if (report_) report_->idTableRead = true;
    Tokenizer tokenizer(text);
    try {
        for (int line = 0;; ++line) {
            if (line > 0) tokenizer.skipLine();
            const char* name = nullptr;
            std::int32_t value = 0;
            tokenizer.readTabLine(name, value);
            if (name == nullptr) continue;
            const std::size_t length = std::strlen(name);
            IdTableLine entry{name, value, 0, false};
            // A longer name cannot reach the host whole; cut short it could name
            // another class, so such a line gives no entry.
            if (length > kMaxClassNameLength) {
                entry.rejected = true;
                if (report_) report_->idLines.push_back(std::move(entry));
                continue;
            }
            HostName lengthPrefixed = {};
            lengthPrefixed[0] = static_cast<std::uint8_t>(length);
            std::memcpy(lengthPrefixed + 1, name, length);
            entry.classIndex = classLookup_ ? classLookup_(lengthPrefixed) : 0;
            if (entry.classIndex > 0) idTable_[entry.classIndex] = value;  // a later line wins
            if (report_) report_->idLines.push_back(std::move(entry));
        }
    } catch (const std::bad_alloc&) {
        throw;  // out of memory fails the export; it is no fault of the file
    } catch (...) {
        // Normally the end of the text; the entries read so far stay.
    }
}

const MaterialTemplate* TemplateLibrary::findTemplate(const std::string& name) const {
    const auto found = templates_.find(name);
    return found == templates_.end() ? nullptr : found->second.get();
}

std::optional<std::int32_t> TemplateLibrary::findId(std::int32_t classIndex) const {
    const auto found = idTable_.find(classIndex);
    if (found == idTable_.end()) return std::nullopt;
    return found->second;
}

}  // namespace pelmora
