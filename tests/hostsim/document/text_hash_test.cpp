// The hash a drawing's load takes of its bytes: the same whether the text
// comes in one piece or as the file is read, and changed by any edit.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "hostsim/document/drawing.h"
#include "hostsim/document/text_hash.h"

namespace pelmora::hostsim {
namespace {

TEST(TextHash, TheLoadsHashIsTheTextsAndEveryEditChangesIt) {
    // Larger than one read step, and of a size that is no whole number of blocks.
    std::string text = R"({"pelmoraDrawing": 1, "author": ")" + std::string(700'001, 'a') + "\"}";
    for (std::size_t i = 40; i + 2 < text.size(); ++i) text[i] = static_cast<char>('a' + i * i % 26);
    const auto file = std::filesystem::path(::testing::TempDir()) / "hashed.json";
    std::ofstream(file, std::ios::binary) << text;
    std::uint64_t loaded = 0;
    loadDrawing(file.string(), loaded);
    EXPECT_EQ(loaded, textHash(text));
    EXPECT_EQ(readDocumentText(file.string()), text);

    std::set<std::uint64_t> hashes{textHash(text)};
    for (std::size_t at : {std::size_t{40}, text.size() / 2, text.size() - 20}) {
        std::string edited = text;
        edited[at] ^= 1;  // one bit
        hashes.insert(textHash(edited));
        edited = text;
        std::swap(edited[at], edited[at + 1 - 2 * (at % 2)]);  // two bytes swapped
        std::swap(edited[at + 8], edited[at - 8]);             // two words' bytes moved
        ASSERT_NE(edited, text);
        hashes.insert(textHash(edited));
    }
    hashes.insert(textHash(text + " "));
    hashes.insert(textHash(text.substr(0, text.size() - 1)));
    EXPECT_EQ(hashes.size(), 9u);
    std::filesystem::remove(file);
}

}  // namespace
}  // namespace pelmora::hostsim
