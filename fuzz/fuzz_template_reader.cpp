// Fuzzes the template reader: any bytes as the text of one template file give
// either a stored template or a skip, with at most one message. A second pass
// drives the tokenizer's readers in an order chosen by the input.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "plugin/platform/portable_hooks.h"
#include "plugin/templates/template_library.h"
#include "plugin/templates/tokenizer.h"

namespace {

int g_messages = 0;
void countMessage(const char*, void*) { ++g_messages; }

void check(bool condition) {
    if (!condition) std::abort();
}

void readTemplate(const std::uint8_t* data, std::size_t size) {
    pelmora::TextBuffer text;
    if (!text.assign(reinterpret_cast<const char*>(data), size)) return;
    pelmora::TemplateLibrary library;
    pelmora::LoadReport report;
    library.setLoadReport(&report);
    g_messages = 0;
    library.readTemplateText(text, "Fuzz.qmt");
    const bool stored = library.findTemplate("Fuzz") != nullptr;
    check(library.templates().size() == (stored ? 1u : 0u));
    check(stored != (report.skipped.size() == 1));  // one outcome, never both
    check(g_messages <= 1);
    if (stored) {
        for (const auto& texture : library.findTemplate("Fuzz")->textures) check(texture.fileName.size() <= size);
    }
}

void driveReaders(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return;
    const std::uint8_t selector = data[0];
    pelmora::TextBuffer text;
    if (!text.assign(reinterpret_cast<const char*>(data + 1), size - 1)) return;
    pelmora::Tokenizer tokenizer(text);
    const char* const end = text.text() + text.length();
    for (int step = 0; step < 4096; ++step) {
        try {
            const int choice = (selector >> (step % 8)) % 8 + step % 3;
            std::int32_t i = 0;
            double d = 0;
            float f3[3] = {};
            pelmora::ColorValue colour;
            std::string s;
            const char* name = nullptr;
            switch (choice % 9) {
                case 0: {
                    const char* token = tokenizer.nextToken();
                    check(token >= text.text() && token <= end);
                    break;
                }
                case 1:
                    tokenizer.readInt(i);
                    break;
                case 2:
                    tokenizer.readDouble(d);
                    break;
                case 3:
                    tokenizer.readFloat3(f3);
                    break;
                case 4:
                    tokenizer.readColor(colour);
                    break;
                case 5:
                    tokenizer.readString(s);
                    break;
                case 6:
                    tokenizer.readTabLine(name, i);
                    if (name) check(name >= text.text() && name < end);
                    break;
                case 7:
                    if (tokenizer.lineToken() == nullptr) return;
                    break;
                default:
                    tokenizer.expect("4cShader");
                    break;
            }
        } catch (const pelmora::unexpected_eof_error&) {
            check(tokenizer.atEnd());
            return;
        } catch (const pelmora::unexpected_token_error&) {
        } catch (const pelmora::invalid_token_error&) {}
        check(text.text()[text.length()] == '\0');
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    PelmoraPortableHooks hooks{};
    hooks.messageBox = &countMessage;
    pelmora::platform::setPortableHooks(&hooks);
    readTemplate(data, size);
    driveReaders(data, size);
    pelmora::platform::setPortableHooks(nullptr);
    return 0;
}
