// The quick OBJ reader: wherever it takes a file (every OBJ of Assimp's test
// models, the tests' own, generated files with objects, groups, materials,
// negative indices, texture and normal corners, Windows line ends, the bench's
// terrain, damaged files) the import hands over the same bytes as through
// Assimp; it takes the terrain; it leaves every feature it does not read to
// Assimp; and the read can be stopped.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "bench/reference_scene.h"
#include "tests/support/temp_folder.h"

#include "base/ascii_case.h"
#include "tool/import/model_import.h"
#include "tool/import/quick_obj_parse.h"

namespace pelmora {
namespace {

using tool::ObjReader;

// The handoff's bytes, or the refusal's text.
std::string handoff(const std::string& path, ObjReader reader) {
    std::string bytes;
    try {
        tool::importModelInto(
            path, tool::ModelImportOptions{},
            [&bytes](const char* data, std::size_t size) {
                bytes.append(data, size);
                return true;
            },
            reader);
    } catch (const tool::ModelImportError& refused) { return std::string("refused: ") + refused.what(); }
    return bytes;
}

bool taken(const std::string& path) { return tool::parseSimpleObj(path, nullptr).has_value(); }

// Takes the file or leaves it; where it takes it, the same handoff as Assimp.
void expectSameWhereTaken(const std::string& path, int& takenCount, int& leftCount) {
    if (!taken(path)) {
        ++leftCount;
        return;
    }
    ++takenCount;
    const std::string quick = handoff(path, ObjReader::Quick);
    const std::string general = handoff(path, ObjReader::Assimp);
    EXPECT_EQ(quick.size(), general.size()) << path;
    EXPECT_TRUE(quick == general) << path << ": the handoffs differ";
}

std::vector<std::string> objFilesUnder(const std::string& root) {
    std::vector<std::string> files;
    std::error_code error;
    if (!std::filesystem::is_directory(root, error)) return files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root, error))
        if (entry.is_regular_file() && base::lowerExtension(entry.path().string()) == ".obj")
            files.push_back(entry.path().string());
    return files;
}

TEST(ObjQuickReader, ReadsEveryTestModelItTakesAsAssimpDoes) {
    std::vector<std::string> files;
    const std::vector<std::string> roots = {"/usr/share/assimp/models", "/usr/share/assimp/models-nonbsd",
                                            std::string(PELMORA_SOURCE_DIR) + "/tests/data"};
    for (const std::string& root : roots)
        for (const std::string& file : objFilesUnder(root)) files.push_back(file);
    ASSERT_FALSE(files.empty()) << "no OBJ files found (assimp-testmodels not installed?)";
    int takenCount = 0, leftCount = 0;
    for (const std::string& file : files) expectSameWhereTaken(file, takenCount, leftCount);
    std::printf("quick reader: %d of %zu OBJ files taken, %d left to Assimp\n", takenCount, files.size(), leftCount);
}

// A random OBJ file of what the quick reader takes.
class ObjGenerator {
public:
    explicit ObjGenerator(unsigned seed) : random_(seed), form_(static_cast<int>(random_() % 4)) {}

    std::string text() {
        std::ostringstream out;
        if (random_() % 2) out << "# generated\n\n";
        for (int i = 0; i < 2; ++i) out << "v 0 0 0\nv 1 0 0\nv 1 1 0\n";
        for (int step = 0; step < 60; ++step) statement(out);
        face(out);  // at least one
        std::string text = out.str();
        if (form_ != 0) text = "vt 0 0\nvn 0 0 1\n" + text;
        return text;
    }

private:
    void statement(std::ostringstream& out) {
        switch (random_() % 9) {
            case 8:
                group(out);
                break;
            case 0:
                out << "o part_" << objects_++ << "\n";
                break;
            case 1:
                out << "usemtl mat_" << random_() % 4 << "\n";
                break;
            case 2:
                out << (random_() % 2 ? "s 1\n" : "s off\n");
                break;
            case 3:
                out << "vt " << number() << " " << number() << "\n"
                    << "vn 0 " << number() << " 1\n";
                ++texture_;
                ++normals_;
                break;
            case 4:
            case 5:
                for (int i = 0; i < 4; ++i) out << "v " << number() << " " << number() << "  " << number() << "\n";
                vertices_ += 4;
                break;
            default:
                if (vertices_ >= 6) face(out);
        }
    }

    // A new group, or one named as an object or group before but not as the
    // last group.
    void group(std::ostringstream& out) {
        std::string name = "group_" + std::to_string(groups_++);
        if (objects_ > 0 && random_() % 2) name = "part_" + std::to_string(random_() % objects_);
        if (name == lastGroup_) return;
        out << "g " << name << "\n";
        lastGroup_ = name;
    }

    // Few distinct values, written in the ways files write them.
    std::string number() {
        static const char* const kWritten[] = {
            "0", "1", "-1.5", "0.25", "2.", "1e2", "-3.25E-1", "+7", "0.1234567", "12345.678901234567", "-0"};
        return kWritten[random_() % (sizeof kWritten / sizeof *kWritten)];
    }

    std::string index(int position, int count) {
        return random_() % 3 == 0 ? std::to_string(position - count) : std::to_string(position + 1);
    }

    void face(std::ostringstream& out) {
        const int corners = 3 + static_cast<int>(random_() % 4 == 0 ? random_() % 4 : 0);
        const int first = static_cast<int>(random_() % static_cast<unsigned>(vertices_ - corners + 1));
        out << "f";
        for (int c = 0; c < corners; ++c) {
            out << " " << index(first + c, vertices_);
            if (form_ == 1) out << "/" << index(static_cast<int>(random_() % texture_), texture_);
            if (form_ == 2) out << "//" << index(static_cast<int>(random_() % normals_), normals_);
            if (form_ == 3)
                out << "/" << index(static_cast<int>(random_() % texture_), texture_) << "/"
                    << index(static_cast<int>(random_() % normals_), normals_);
        }
        out << "\n";
    }

    std::mt19937 random_;
    int form_;  // v, v/vt, v//vn, v/vt/vn
    int objects_ = 0;
    int groups_ = 0;
    std::string lastGroup_;
    int vertices_ = 6;
    int texture_ = 1;
    int normals_ = 1;
};

void writeText(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::string windowsLineEnds(const std::string& text) {
    std::string windows;
    for (char c : text) windows += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return windows;
}

TEST(ObjQuickReader, TakesGeneratedFilesAndTheTerrainAndReadsThemAsAssimpDoes) {
    exporttest::TempFolder folder;
    int takenCount = 0, leftCount = 0;
    for (unsigned seed = 1; seed <= 200; ++seed) {
        const std::string path = (folder.path() / ("generated" + std::to_string(seed) + ".obj")).string();
        std::string text = ObjGenerator(seed).text();
        if (seed % 3 == 0) text = windowsLineEnds(text);
        writeText(path, text);
        expectSameWhereTaken(path, takenCount, leftCount);
    }
    EXPECT_EQ(leftCount, 0);

    bench::TerrainShape shape;
    shape.quadsX = 50;
    shape.quadsY = 40;
    shape.classes = 3;
    const std::string terrain = (folder.path() / "terrain.obj").string();
    ASSERT_TRUE(bench::writeTerrainObj(shape, terrain));
    ASSERT_TRUE(taken(terrain));
    EXPECT_TRUE(handoff(terrain, ObjReader::Quick) == handoff(terrain, ObjReader::Assimp));
}

// The start of a random line of `text`.
std::size_t lineStart(const std::string& text, std::mt19937& random) {
    const std::size_t at = text.rfind('\n', random() % text.size());
    return at == std::string::npos ? 0 : at + 1;
}

// One change: a byte replaced, put in or the rest cut, or a whole line
// repeated elsewhere (a statement out of its usual order).
void damage(std::string& text, std::mt19937& random) {
    static const char kBytes[] = " \n\r\t/-.#e0123456789vfogsE+,\\lpumtx\x80\xff";
    const std::size_t at = random() % text.size();
    const char byte = kBytes[random() % (sizeof kBytes - 1)];
    switch (random() % 4) {
        case 0:
            text[at] = byte;
            break;
        case 1:
            text.insert(at, 1, byte);
            break;
        case 2:
            text.resize(at + 1);
            break;
        default: {
            const std::size_t from = lineStart(text, random);
            const std::size_t end = text.find('\n', from);
            const std::string line = text.substr(from, end == std::string::npos ? std::string::npos : end - from + 1);
            text.insert(lineStart(text, random), line.back() == '\n' ? line : line + "\n");
        }
    }
}

// Generated files damaged anywhere: the reader never fails on them, and where
// it still takes one it reads it as Assimp does.
TEST(ObjQuickReader, ReadsDamagedFilesItTakesAsAssimpDoes) {
    exporttest::TempFolder folder;
    std::mt19937 random(7);
    int takenCount = 0, leftCount = 0;
    for (int round = 0; round < 1000; ++round) {
        std::string text = ObjGenerator(static_cast<unsigned>(round % 20 + 1)).text();
        for (int change = 0; change < 1 + round % 3; ++change) damage(text, random);
        const std::string path = (folder.path() / ("damaged" + std::to_string(round) + ".obj")).string();
        writeText(path, text);
        expectSameWhereTaken(path, takenCount, leftCount);
    }
    EXPECT_GT(takenCount, 0);
    EXPECT_GT(leftCount, 0);
    std::printf("quick reader: %d damaged files taken, %d left to Assimp\n", takenCount, leftCount);
}

TEST(ObjQuickReader, LeavesEveryFeatureItDoesNotReadToAssimp) {
    exporttest::TempFolder folder;
    const std::string plain = "o tile\nusemtl red\nv 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nf 1 2 3\nf 1 3 4\n";
    const std::string path = (folder.path() / "feature.obj").string();
    writeText(path, plain);
    ASSERT_TRUE(taken(path));
    for (const char* line : {"g",
                             "g a b",
                             "mtllib a.mtl",
                             "v 1 2 3 4",
                             "v 1 2",
                             "v 1 2 3 0.5 0.5 0.5",
                             "f 1 2",
                             "f 1 1 2",
                             "f 1 2 99",
                             "f 0 1 2",
                             "f -9 1 2",
                             "f 1/1 2/1 3/1",
                             "f 1//2 2//2 3//2",
                             "o",
                             "o a b",
                             "o tile",
                             "o defaultobject",
                             "usemtl",
                             "usemtl a b",
                             "usemtl DefaultMaterial",
                             "vp 1 2",
                             "l 1 2",
                             "p 1",
                             "v 1\t2 3",
                             "v 1 2 3\r\r",
                             "v 1\r2 3",
                             " v 1 2 3",
                             "v nan 0 0",
                             "v inf 0 0",
                             "v 1,5 0 0",
                             "v 1e 0 0",
                             "v .5 0 0",
                             "v -.5 0 0",
                             "v 99999999999999999999 0 0",
                             "v 1 2 3 # c",
                             "v 01 2 3",
                             "o name\\",
                             "usemtl a\\b",
                             "v 1 2 \\",
                             "f 1 02 3",
                             "f 1 2 3 \\",
                             "curv 0 1 1 2",
                             "vt 1",
                             "vn 1 2"}) {
        writeText(path, plain + line + "\nf 2 3 4\n");
        EXPECT_FALSE(taken(path)) << line;
    }
    writeText(
        path, plain + "o long\nf " + [] {
            std::string corners;
            for (int i = 0; i < 65; ++i) corners += "1 ";
            return corners;
        }() + "\n");
    EXPECT_FALSE(taken(path)) << "a face of 65 corners";
    const std::string missing = (folder.path() / "missing.obj").string();
    EXPECT_FALSE(taken(missing));
    EXPECT_EQ(handoff(missing, ObjReader::Quick), handoff(missing, ObjReader::Assimp));
    writeText(path, "g a\n" + plain + "g b\nf 1 2 3\ng a\nf 1 2 3\n");
    ASSERT_TRUE(taken(path));
    writeText(path, "g a\n" + plain + "o b\nf 1 2 3\ng a\nf 1 2 3\n");
    EXPECT_FALSE(taken(path)) << "the last group named again";
}

TEST(ObjQuickReader, ReportsItsProgressAndStopsWhenTold) {
    exporttest::TempFolder folder;
    bench::TerrainShape shape;
    shape.quadsX = 200;
    shape.quadsY = 200;
    shape.tileX = 20;
    shape.classes = 5;
    const std::string terrain = (folder.path() / "terrain.obj").string();
    ASSERT_TRUE(bench::writeTerrainObj(shape, terrain));
    std::vector<double> told;
    ASSERT_TRUE(tool::parseSimpleObj(terrain, [&told](double done) {
        told.push_back(done);
        return true;
    }));
    ASSERT_GE(told.size(), 2u);
    EXPECT_TRUE(std::is_sorted(told.begin(), told.end()));
    EXPECT_LE(told.back(), 1.0);
    int calls = 0;
    EXPECT_THROW(tool::parseSimpleObj(terrain, [&calls](double) { return ++calls < 2; }), tool::ModelImportError);
    EXPECT_EQ(calls, 2);
}

}  // namespace
}  // namespace pelmora
