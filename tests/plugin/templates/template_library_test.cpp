// Loading a template folder from disk through the host's folder and class
// services: which files become templates, which are skipped and why, and the
// id table.
#include <gtest/gtest.h>

#include <string>

#include "plugin/templates/template_library.h"
#include "tests/support/template_test_support.h"

namespace pelmora {
namespace {

using test::FakeHost;
using test::TempFolder;

const std::string kHeader = "VELTRAMOX \"Display Name\" Script File\n";

class LibraryOnDisk : public ::testing::Test {
protected:
    std::string base() const { return folder.path().string() + "/"; }
    void put(const std::string& name, const std::string& text) const { folder.write("Pelmora/" + name, text); }
    TempFolder folder;
};

TEST_F(LibraryOnDisk, NamesAreFileNamesAndCaseSensitive) {
    put("Oak.qmt", kHeader + "motion create motionMaterial\ndiffuse 0.5 0.5 0.5\nend\n");
    put("Pine.qmt", kHeader);
    FakeHost host(base(), {"None", "Oak", "pine"});
    TemplateLibrary library;
    library.load();
    ASSERT_NE(library.findTemplate("Oak"), nullptr);
    EXPECT_EQ(library.findTemplate("Oak")->name, "Oak");
    EXPECT_EQ(library.findTemplate("Oak")->material.layers[0].diffuse.red, 0.5f);
    EXPECT_EQ(library.findTemplate("pine"), nullptr);
    EXPECT_EQ(library.findTemplate("oak"), nullptr);
    ASSERT_NE(library.findTemplate("Pine"), nullptr);
    EXPECT_FALSE(library.findTemplate("Pine")->material.hasMaterial);
    EXPECT_TRUE(library.findTemplate("Pine")->textures.empty());
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(LibraryOnDisk, SectionsInOrderAndRepeatedMaterial) {
    put("Wood.qmt", kHeader +
                        "some free text\nmotion delete x\nmotion create motionTexture\nfilename \"a.jpg\"\nend\n"
                        "motion create \"motionMaterial\"\nspecular 0.5 0.5 0.5\ntype sphere\nend\n"
                        "motion create motionTexture\nfilename \"b.jpg\"\nend\n"
                        "motion create motionMaterial\nspecular 0.25 0.25 0.25\nend\n");
    FakeHost host(base(), {});
    TemplateLibrary library;
    library.load();
    const MaterialTemplate* wood = library.findTemplate("Wood");
    ASSERT_NE(wood, nullptr);
    ASSERT_EQ(wood->textures.size(), 2u);
    EXPECT_EQ(wood->textures[0].fileName, "a.jpg");
    EXPECT_EQ(wood->textures[1].fileName, "b.jpg");
    EXPECT_TRUE(wood->material.hasMaterial);
    EXPECT_EQ(wood->material.layers[0].specular.red, 0.25f);  // the later section overrides
    EXPECT_EQ(wood->material.type.value, 2);                  // and keeps what it does not name
}

TEST_F(LibraryOnDisk, HeaderMismatchesAreSkippedSilently) {
    put("Comment.qmt", "# first line is a comment\n" + kHeader);
    put("Lower.qmt", "veltramox x Script File\n");
    put("Empty.qmt", "");
    put("Short.qmt", "VELTRAMOX x Script\n");
    put("Spread.qmt", "\n\n  VELTRAMOX\nName\nScript\nFile trailing words\n");
    FakeHost host(base(), {});
    TemplateLibrary library;
    LoadReport report;
    library.setLoadReport(&report);
    library.load();
    EXPECT_EQ(library.templates().size(), 1u);
    EXPECT_NE(library.findTemplate("Spread"), nullptr);
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(report.skipped.size(), 4u);
    for (const auto& skipped : report.skipped) EXPECT_EQ(skipped.reason, kSkipHeader) << skipped.file;
}

TEST_F(LibraryOnDisk, UnknownSectionTypeDropsTheTemplateQuietly) {
    put("Shader.qmt", kHeader + "motion create motionMaterial\ndiffuse 1 1 1\nend\nmotion create simpleShader\nend\n");
    put("Four.qmt", kHeader + "motion create 4cShader\nend\n");
    FakeHost host(base(), {});
    TemplateLibrary library;
    LoadReport report;
    library.setLoadReport(&report);
    library.load();
    EXPECT_TRUE(library.templates().empty());
    EXPECT_TRUE(host.messages.empty());
    ASSERT_EQ(report.skipped.size(), 2u);
    for (const auto& skipped : report.skipped) {
        EXPECT_EQ(skipped.reason.rfind(kSkipUnknownSection, 0), 0u) << skipped.reason;
    }
}

TEST_F(LibraryOnDisk, ReadErrorShowsOneMessageWithTheFileName) {
    put("Broken.qmt", kHeader + "motion create motionMaterial\ncolor 7\nend\n");
    put("Flags.qmt", kHeader + "motion create motionMaterial\nflags abc\nend\n");
    put("Good.qmt", kHeader + "motion create motionTexture\nend\n");
    FakeHost host(base(), {});
    TemplateLibrary library;
    library.load();
    EXPECT_EQ(library.findTemplate("Broken"), nullptr);
    EXPECT_EQ(library.findTemplate("Flags"), nullptr);
    ASSERT_NE(library.findTemplate("Good"), nullptr);
    ASSERT_EQ(host.messages.size(), 2u);
    std::sort(host.messages.begin(), host.messages.end());
    EXPECT_EQ(host.messages[0], "Read QMT Error (Broken.qmt)");
    EXPECT_EQ(host.messages[1], "Read QMT Error (Flags.qmt)");
}

TEST_F(LibraryOnDisk, MissingEndKeepsWhatWasRead) {
    put("Open.qmt", kHeader + "motion create motionMaterial\r\ndiffuse 0.5 0.5 0.5\r\nspecularpower 20");
    put("Cut.qmt", kHeader + "motion create motionTexture\nfilename \"x.jpg\"\nsize 1000");
    FakeHost host(base(), {});
    TemplateLibrary library;
    library.load();
    const MaterialTemplate* open = library.findTemplate("Open");
    ASSERT_NE(open, nullptr);
    EXPECT_EQ(open->material.layers[0].diffuse.red, 0.5f);
    EXPECT_EQ(open->material.layers[0].specularpower.value, 20.0);
    const MaterialTemplate* cut = library.findTemplate("Cut");
    ASSERT_NE(cut, nullptr);
    ASSERT_EQ(cut->textures.size(), 1u);
    EXPECT_EQ(cut->textures[0].fileName, "x.jpg");
    EXPECT_TRUE(cut->textures[0].size.given);  // cut short: given, partly read
    EXPECT_EQ(cut->textures[0].size.value.v[0], 1000.0f);
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(LibraryOnDisk, OnlyQmtFilesWithANameAreRead) {
    put("Brick.txt", kHeader);
    put(".qmt", kHeader);
    put("B.qmt", kHeader);
    folder.write("Pelmora/Dir.qmt/inner.qmt", kHeader);
    FakeHost host(base(), {});
    TemplateLibrary library;
    library.load();
    ASSERT_EQ(library.templates().size(), 1u);
    EXPECT_NE(library.findTemplate("B"), nullptr);
}

TEST_F(LibraryOnDisk, IdTableLaterLineWinsAndUnknownClassesAreIgnored) {
    put("_id_table.txt",
        "Walls\t2001\r\nNoSuchClass\t7\r\nRoof\t\"2002\"\r\nno tab\r\n\r\nWalls\t2005\r\nGlass\tx\r\nGlass\t2009");
    FakeHost host(base(), {"None", "Walls", "Roof", "Glass"});
    TemplateLibrary library;
    library.load();
    EXPECT_EQ(library.findId(2), std::optional<std::int32_t>(2005));
    EXPECT_EQ(library.findId(3), std::optional<std::int32_t>(2002));
    EXPECT_EQ(library.findId(4), std::optional<std::int32_t>(2009));
    EXPECT_EQ(library.findId(1), std::nullopt);
    EXPECT_EQ(library.idTable().size(), 3u);
}

TEST_F(LibraryOnDisk, LongClassNamesNeverMatchATruncatedClass) {
    const std::string prefix(62, 'c');
    put("_id_table.txt", prefix + "X\t5\n" + prefix + "\t6\n");
    FakeHost host(base(), {"None", prefix});
    TemplateLibrary library;
    LoadReport report;
    library.setLoadReport(&report);
    library.load();
    EXPECT_EQ(library.findId(2), std::optional<std::int32_t>(6));  // 62 characters pass whole
    ASSERT_EQ(host.namesAsked.size(), 1u);                         // the 63-character name never reaches the host
    EXPECT_EQ(host.namesAsked[0], prefix);
    ASSERT_EQ(report.idLines.size(), 2u);
    EXPECT_TRUE(report.idLines[0].rejected);
    EXPECT_EQ(report.idLines[1].classIndex, 2);
}

TEST_F(LibraryOnDisk, NoFolderNoFilesNoTable) {
    FakeHost host(base(), {"None"});
    TemplateLibrary library;
    library.load();  // no Pelmora folder at all
    EXPECT_TRUE(library.templates().empty());
    EXPECT_TRUE(library.idTable().empty());
}

TEST(LibraryWithoutHost, NoBaseFolderLoadsNothing) {
    TempFolder folder;
    FakeHost host("", {});  // the host gives an empty folder
    TemplateLibrary library;
    library.load();
    EXPECT_TRUE(library.templates().empty());
    TemplateLibrary again;
    again.loadFrom("");
    EXPECT_TRUE(again.templates().empty());
}

TEST(LibraryPathLimit, TooLongPathsAreAbsent) {
    TempFolder folder;
    const std::string base = folder.path().string() + "/";
    // Make the template path exactly reach the limit while the folder still fits.
    const std::string pelmora = base + "Pelmora/";
    const std::size_t room = kTemplatePathLimit - pelmora.size();
    ASSERT_GT(room, 10u);
    const std::string fits = std::string(room - 1 - 4, 'a') + ".qmt";  // path length 259
    const std::string tooLong = std::string(room - 4, 'b') + ".qmt";   // path length 260
    folder.write("Pelmora/" + fits, kHeader);
    folder.write("Pelmora/" + tooLong, kHeader);
    FakeHost host(base, {});
    TemplateLibrary library;
    LoadReport report;
    library.setLoadReport(&report);
    library.load();
    EXPECT_EQ(library.templates().size(), 1u);
    EXPECT_NE(library.findTemplate(fits.substr(0, fits.size() - 4)), nullptr);
    ASSERT_EQ(report.skipped.size(), 1u);
    EXPECT_EQ(report.skipped[0].reason, kSkipPathTooLong);
}

TEST(LibraryText, ReadersOverTextInMemory) {
    TemplateLibrary library;
    library.setClassLookup([](const std::uint8_t* name) {
        return std::string(reinterpret_cast<const char*>(name + 1), name[0]) == "Walls" ? 2 : 0;
    });
    TextBuffer table = test::textOf("Walls\t12\n");
    library.readIdTableText(table);
    EXPECT_EQ(library.findId(2), std::optional<std::int32_t>(12));
    TextBuffer text = test::textOf(kHeader);
    library.readTemplateText(text, "Abc.qmt");
    EXPECT_NE(library.findTemplate("Abc"), nullptr);
    TextBuffer again = test::textOf(kHeader + "motion create motionTexture\nend\n");
    library.readTemplateText(again, "Abc.qmt");  // the same name replaces the first
    EXPECT_EQ(library.findTemplate("Abc")->textures.size(), 1u);
    EXPECT_EQ(readErrorMessage("X.qmt"), "Read QMT Error (X.qmt)");
}

}  // namespace
}  // namespace pelmora
