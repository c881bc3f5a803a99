#include <cstdint>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "plugin/scene_file/output_stream.h"
#include "tests/plugin/scene_file/scene_fakes.h"

namespace pelmora {
namespace {

using scene_test::fileBytes;
using scene_test::fileText;
using scene_test::freshFolder;
using Bytes = std::vector<std::uint8_t>;

class OutputStreamTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = freshFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
        path = (folder / "out.qmx").string();
    }
    std::filesystem::path folder;
    std::string path;
    OutputStream stream;
};

TEST_F(OutputStreamTest, BinaryValues) {
    ASSERT_EQ(stream.open(path.c_str(), true, false), 1);
    EXPECT_TRUE(stream.isBinary());
    EXPECT_EQ(stream.writeString("Node", true), 1);
    EXPECT_EQ(stream.writeInt(-652984, true), 1);
    EXPECT_EQ(stream.indent(3), 0);  // nothing
    EXPECT_EQ(stream.lineEnd(), 0);  // nothing
    EXPECT_EQ(stream.writeChar(255, true), 1);
    EXPECT_EQ(stream.writeFloat(0.5f, true), 1);
    EXPECT_EQ(stream.writeVector(Vec3f{1.0f, -2.0f, 0.0f}, false), 1);
    EXPECT_EQ(stream.writeQuad(Quad4f{0.0f, 0.0f, 0.0f, 1.0f}, true), 1);
    const std::uint8_t payload[] = {1, 200, 3};
    EXPECT_EQ(stream.writeBytes(payload, 3, true), 1);
    EXPECT_EQ(stream.writeString("", false), 1);
    EXPECT_EQ(stream.close(), 1);

    const Bytes expected = {
        'N',  'o',  'd',  'e',  0,                                                           // string with its NUL
        0x48, 0x09, 0xF6, 0xFF,                                                              // -652984
        0xFF,                                                                                // char
        0x00, 0x00, 0x00, 0x3F,                                                              // 0.5f
        0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x00, 0xC0, 0, 0, 0, 0,                          // 1, -2, 0
        0,    0,    0,    0,    0,    0,    0,    0,    0, 0, 0, 0, 0x00, 0x00, 0x80, 0x3F,  // 0, 0, 0, 1
        1,    200,  3,                                                                       // payload
        0,                                                                                   // empty string
    };
    EXPECT_EQ(fileBytes(path), expected);
}

TEST_F(OutputStreamTest, AsciiValues) {
    ASSERT_EQ(stream.open(path.c_str(), false, false), 1);
    EXPECT_FALSE(stream.isBinary());
    EXPECT_EQ(stream.indent(2), 1);
    EXPECT_EQ(stream.writeString("Node", true), 1);
    EXPECT_EQ(stream.writeString("FPS", false), 1);
    EXPECT_EQ(stream.writeInt(24, true), 1);
    EXPECT_EQ(stream.indent(0), 1);
    EXPECT_EQ(stream.writeInt(-652984, true), 1);
    EXPECT_EQ(stream.writeFloat(0.5f, true), 1);
    EXPECT_EQ(stream.writeVector(Vec3f{1.0f, 2.0f, 3.0f}, true), 1);
    EXPECT_EQ(stream.writeQuad(Quad4f{0.0f, -1.5f, 0.0f, 0.25f}, true), 1);
    EXPECT_EQ(stream.writeChar(255, true), 1);
    EXPECT_EQ(stream.writeChar('x', false), 1);
    EXPECT_EQ(stream.lineEnd(), 1);
    const std::uint8_t payload[] = {1, 200, 3};
    EXPECT_EQ(stream.writeBytes(payload, 3, true), 1);
    EXPECT_EQ(stream.writeString("say \"hi\"", true), 1);  // nothing escaped
    EXPECT_EQ(stream.close(), 1);

    const std::string expected =
        "\t\t\"Node\"\n"
        "\"FPS\"24\n"
        "-652984\n"
        "0.50000\n"
        "1.00000 2.00000 3.00000\n"
        "0.00000 -1.50000 0.00000 0.25000\n"
        "\xFF\n"
        "x\n"
        "1 200 3 \n"
        "\"say \"hi\"\"\n";
    EXPECT_EQ(fileText(path), expected);
}

TEST_F(OutputStreamTest, AsciiBytesBreakAfterEvery21Values) {
    std::vector<std::uint8_t> payload(42);
    for (std::size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<std::uint8_t>(i + 250);
    ASSERT_EQ(stream.open(path.c_str(), false, false), 1);
    EXPECT_EQ(stream.writeBytes(payload.data(), payload.size(), true), 1);
    EXPECT_EQ(stream.writeBytes(payload.data(), 22, false), 1);
    stream.close();

    std::string line1, line2;
    for (int i = 0; i < 21; ++i) line1 += std::to_string((250 + i) % 256) + " ";
    for (int i = 21; i < 42; ++i) line2 += std::to_string((250 + i) % 256) + " ";
    // 42 values: two full lines, then the empty line of the line-end flag;
    // 22 values without the flag: one full line and one value left open.
    const std::string expected = line1 + "\n" + line2 + "\n" + "\n" + line1 + "\n" + "15 ";
    EXPECT_EQ(fileText(path), expected);
}

TEST_F(OutputStreamTest, LargeFloatsFitTheirText) {
    const float big = std::numeric_limits<float>::max();
    ASSERT_EQ(stream.open(path.c_str(), false, false), 1);
    EXPECT_EQ(stream.writeQuad(Quad4f{-big, big, -big, big}, true), 1);
    stream.close();
    const std::string max = "340282346638528859811704183484516925440.00000";
    EXPECT_EQ(fileText(path), "-" + max + " " + max + " -" + max + " " + max + "\n");
}

TEST_F(OutputStreamTest, WritesWithoutAnOpenFileFail) {
    const std::uint8_t payload[] = {1};
    EXPECT_EQ(stream.writeInt(1, true), 0);
    EXPECT_EQ(stream.writeString("a", true), 0);
    EXPECT_EQ(stream.writeBytes(payload, 1, true), 0);
    EXPECT_EQ(stream.indent(1), 0);
    EXPECT_EQ(stream.lineEnd(), 0);
    EXPECT_EQ(stream.close(), 1);

    ASSERT_EQ(stream.open(path.c_str(), false, false), 1);
    EXPECT_EQ(stream.close(), 1);
    EXPECT_STREQ(stream.path(), "");
    EXPECT_FALSE(stream.isBinary());
    EXPECT_EQ(stream.writeInt(1, true), 0);
    EXPECT_EQ(stream.writeFloat(1.0f, true), 0);
    EXPECT_EQ(stream.writeVector(Vec3f{}, true), 0);
    EXPECT_EQ(stream.writeQuad(Quad4f{}, true), 0);
    EXPECT_EQ(stream.writeChar('a', true), 0);
    EXPECT_EQ(fileText(path), "");
}

TEST_F(OutputStreamTest, NullTextAndNullBytesFail) {
    ASSERT_EQ(stream.open(path.c_str(), true, false), 1);
    EXPECT_EQ(stream.writeString(nullptr, true), 0);
    EXPECT_EQ(stream.writeBytes(nullptr, 4, true), 0);
    stream.close();
    EXPECT_TRUE(fileBytes(path).empty());
}

TEST_F(OutputStreamTest, OpenWithAnEmptyPathKeepsTheOpenFile) {
    ASSERT_EQ(stream.open(path.c_str(), true, false), 1);
    EXPECT_EQ(stream.open("", false, false), 0);
    EXPECT_EQ(stream.open(nullptr, false, false), 0);
    EXPECT_TRUE(stream.isOpen());
    EXPECT_TRUE(stream.isBinary());
    EXPECT_EQ(std::string(stream.path()), path);
    EXPECT_EQ(stream.writeInt(7, false), 1);
    stream.close();
    EXPECT_EQ(fileBytes(path), (Bytes{7, 0, 0, 0}));
}

TEST_F(OutputStreamTest, OpenReplacesOrAppends) {
    ASSERT_EQ(stream.open(path.c_str(), true, false), 1);
    stream.writeString("one", false);
    stream.close();
    ASSERT_EQ(stream.open(path.c_str(), true, true), 1);
    stream.writeString("two", false);
    stream.close();
    EXPECT_EQ(fileText(path), std::string("one\0two\0", 8));

    ASSERT_EQ(stream.open(path.c_str(), false, false), 1);
    stream.writeInt(3, true);
    stream.close();
    EXPECT_EQ(fileText(path), "3\n");
}

TEST_F(OutputStreamTest, OpenFailsInAMissingFolder) {
    const std::string missing = (folder / "no" / "such" / "f.qmx").string();
    EXPECT_EQ(stream.open(missing.c_str(), true, false), 0);
    EXPECT_FALSE(stream.isOpen());
    EXPECT_STREQ(stream.path(), "");
    EXPECT_EQ(stream.writeInt(1, true), 0);
}

TEST_F(OutputStreamTest, KeepsAtMost254CharactersOfThePath) {
    std::string longPath = (folder / "").string();
    // Longer than the 254 characters kept, yet within the 259 a Windows path may have.
    const std::size_t room = 258 - longPath.size() - 21;
    longPath += std::string(room, 'a') + "/" + std::string(20, 'b');
    std::filesystem::create_directories(folder / std::string(room, 'a'));
    ASSERT_EQ(stream.open(longPath.c_str(), true, false), 1);
    EXPECT_EQ(std::string(stream.path()), longPath.substr(0, 254));
    stream.close();
}

TEST_F(OutputStreamTest, TheSeamFailsTheNthWriteAndTheClose) {
    {
        ScopedFileSinkFault fault(2, false);
        ASSERT_EQ(stream.open(path.c_str(), true, false), 1);
        EXPECT_EQ(stream.writeInt(1, true), 1);
        EXPECT_EQ(stream.writeVector(Vec3f{}, true), 0);  // one block: one write
        EXPECT_EQ(stream.writeInt(3, true), 1);
        EXPECT_EQ(stream.close(), 1);
        EXPECT_EQ(fault.writes(), 3);
    }
    EXPECT_EQ(fileBytes(path), (Bytes{1, 0, 0, 0, 3, 0, 0, 0}));
    {
        ScopedFileSinkFault fault(0, true);
        ASSERT_EQ(stream.open(path.c_str(), false, false), 1);
        EXPECT_EQ(stream.writeFloat(1.0f, true), 1);
        EXPECT_EQ(stream.close(), 0);
        EXPECT_FALSE(stream.isOpen());
        EXPECT_EQ(stream.close(), 1);  // nothing left to close
    }
    EXPECT_EQ(fileText(path), "1.00000\n");
    // Without the fault the stdio sink is back.
    ASSERT_EQ(stream.open(path.c_str(), true, false), 1);
    EXPECT_EQ(stream.close(), 1);
}

TEST_F(OutputStreamTest, AsciiPayloadFailsWhenAPieceIsRefused) {
    std::vector<std::uint8_t> payload(10, 7);
    ScopedFileSinkFault fault(1, false);
    ASSERT_EQ(stream.open(path.c_str(), false, false), 1);
    EXPECT_EQ(stream.writeBytes(payload.data(), payload.size(), true), 0);
    stream.close();
}

// A sink that keeps everything in memory, to check the seam's contract.
class MemorySink : public FileSink {
public:
    explicit MemorySink(std::string& out) : out_(out) {}
    bool write(const void* data, std::size_t size) override {
        out_.append(static_cast<const char*>(data), size);
        ++writes;
        return true;
    }
    bool close() override { return true; }
    int writes = 0;

private:
    std::string& out_;
};

TEST_F(OutputStreamTest, AFactoryReceivesPathAndModeAndEachBinaryValueIsOneWrite) {
    std::string captured;
    std::vector<std::string> modes;
    setFileSinkFactoryForTesting([&](const char* p, const char* mode) {
        EXPECT_EQ(std::string(p), path);
        modes.emplace_back(mode);
        return std::unique_ptr<FileSink>(new MemorySink(captured));
    });
    stream.open(path.c_str(), true, false);
    stream.open(path.c_str(), true, true);
    stream.open(path.c_str(), false, false);
    stream.open(path.c_str(), false, true);
    stream.writeInt(5, true);
    stream.close();
    setFileSinkFactoryForTesting(nullptr);
    EXPECT_EQ(modes, (std::vector<std::string>{"wb", "ab", "w", "a"}));
    EXPECT_EQ(captured, "5\n");
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(OutputStreamTest, ALargeBinaryPayloadArrivesWhole) {
    std::vector<std::uint8_t> payload(3u << 20);
    for (std::size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<std::uint8_t>(i * 13);
    ASSERT_EQ(stream.open(path.c_str(), true, false), 1);
    EXPECT_EQ(stream.writeInt(1, false), 1);
    EXPECT_EQ(stream.writeBytes(payload.data(), payload.size(), true), 1);
    EXPECT_EQ(stream.close(), 1);
    const Bytes written = fileBytes(path);
    ASSERT_EQ(written.size(), payload.size() + 4);
    EXPECT_TRUE(std::equal(payload.begin(), payload.end(), written.begin() + 4));
}

TEST(OutputStreamLifetime, DestructorClosesTheFile) {
    const auto folder = scene_test::freshFolder("destructor");
    const std::string path = (folder / "out.qmx").string();
    {
        OutputStream stream;
        ASSERT_EQ(stream.open(path.c_str(), true, false), 1);
        stream.writeString("kept", false);
    }
    EXPECT_EQ(fileText(path), std::string("kept\0", 5));
}

}  // namespace
}  // namespace pelmora
