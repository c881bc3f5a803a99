// The import handoff: what the writer streams, the reader gives back as the
// drawing it stands for (points placed, polygons, lights, view, classes,
// warnings), and a damaged handoff (cut anywhere, any byte changed, counts past
// the data, indices out of range) is a clean refusal, never a crash.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include <cstring>
#include <fstream>
#include <random>
#include <set>
#include <string>

#include "tests/support/temp_folder.h"

#include "tool/import/model_handoff.h"
#include "tool/import/model_import.h"

namespace pelmora {
namespace {

using tool::HandoffError;
using tool::HandoffMesh;
using tool::HandoffPlacement;
using tool::HandoffWriter;

// A handoff and the drawing it stands for, built side by side.
struct Sample {
    std::string bytes;
    hostsim::Drawing expected;
    std::vector<std::string> warnings;
    std::vector<std::size_t> pointCounts;  // each mesh's points, in order
    std::vector<tool::ImportedMaterial> materials;
};

tool::ImportedMaterial stoneMaterial(unsigned seed) {
    tool::ImportedMaterial stone;
    stone.className = "stone";
    stone.diffuse[0] = 0.5f, stone.diffuse[1] = 0.25f, stone.diffuse[2] = 0.125f;
    stone.emissive[2] = 1.0f;
    stone.opacity = 0.75f;
    stone.shininess = static_cast<float>(seed);
    stone.refraction = 1.5f;
    return stone;
}

bool sameMaterial(const tool::ImportedMaterial& a, const tool::ImportedMaterial& b) {
    const auto same = [](const float(&x)[3], const float(&y)[3]) { return std::equal(x, x + 3, y); };
    return a.className == b.className && same(a.diffuse, b.diffuse) && same(a.ambient, b.ambient) &&
           same(a.specular, b.specular) && same(a.emissive, b.emissive) && a.opacity == b.opacity &&
           a.shininess == b.shininess && a.refraction == b.refraction;
}

HandoffMesh randomMesh(std::mt19937& random, std::uint32_t classIndex) {
    HandoffMesh mesh;
    mesh.type = tool::kImportedMeshType;
    mesh.classIndex = classIndex;
    mesh.name = "mesh " + std::to_string(random() % 1000);
    const std::uint32_t points = 3 + random() % 40;
    for (std::uint32_t i = 0; i < points * 3; ++i)
        mesh.points.push_back(static_cast<float>(random() % 20001) / 100.0f - 100.0f);
    const std::uint32_t polygons = 1 + random() % 30;
    for (std::uint32_t p = 0; p < polygons; ++p) {
        const std::uint32_t corners = 3 + random() % 4;
        mesh.counts.push_back(corners);
        for (std::uint32_t k = 0; k < corners; ++k) mesh.indices.push_back(random() % points);
    }
    return mesh;
}

hostsim::DrawingObject expectedMesh(const HandoffMesh& mesh, const HandoffPlacement& placement,
                                    const std::string& className) {
    hostsim::DrawingObject object;
    object.type = mesh.type;
    object.className = className;
    object.name = mesh.name;
    std::vector<hostsim::GeometryEntry> polygons;
    std::size_t corner = 0;
    for (std::uint32_t count : mesh.counts) {
        hostsim::GeometryEntry& entry = polygons.emplace_back();
        for (std::uint32_t k = 0; k < count; ++k, ++corner) {
            const float* xyz = &mesh.points[std::size_t{mesh.indices[corner]} * 3];
            entry.points.push_back(placement.point(xyz[0], xyz[1], xyz[2]));
        }
    }
    object.polygons = std::move(polygons);
    return object;
}

hostsim::DrawingObject light(int seed) {
    hostsim::DrawingObject object;
    object.type = hostsim::kCodeLight;
    object.className = "None";
    object.name = "light " + std::to_string(seed);
    hostsim::PropertyValue on, kind, intensity, position;
    on.kind = hostsim::PropertyValue::Kind::Bool;
    on.boolValue = true;
    kind.kind = hostsim::PropertyValue::Kind::Int16;
    kind.intValue = static_cast<std::int16_t>(seed % 3);
    intensity.kind = hostsim::PropertyValue::Kind::Double;
    intensity.doubleValue = 0.5 * seed;
    position.kind = hostsim::PropertyValue::Kind::Point;
    position.pointValue = {1.0 * seed, -2.0, 3.5};
    object.properties = {{50, on}, {51, intensity}, {54, position}, {55, kind}};
    return object;
}

Sample sample(unsigned seed, int meshes) {
    std::mt19937 random(seed);
    Sample s;
    const HandoffPlacement placement{seed % 2 ? 1000.0 : 25.4, seed % 3 == 0};
    HandoffWriter writer([&s](const char* data, std::size_t size) { return s.bytes.append(data, size), true; },
                         s.expected.codePage, placement);
    s.expected.classes = {"None", "stone", "wood"};
    s.expected.layers.emplace_back().name = tool::kImportedLayerName;
    s.expected.activeLayer = tool::kImportedLayerName;
    auto& objects = s.expected.layers.front().objects;
    for (int m = 0; m < meshes; ++m) {
        const HandoffMesh mesh = randomMesh(random, static_cast<std::uint32_t>(random() % 3));
        writer.mesh(mesh);
        s.pointCounts.push_back(mesh.points.size() / 3);
        objects.push_back(expectedMesh(mesh, placement, s.expected.classes[mesh.classIndex]));
    }
    objects.push_back(light(static_cast<int>(seed)));
    writer.object(objects.back(), 0);
    if (seed % 2) {
        hostsim::View view;
        view.distance = 1234.5;
        view.origin = {1, 2, 3};
        writer.view(view);
        s.expected.view = view;
    }
    s.materials = {stoneMaterial(seed)};
    writer.material(s.materials.front(), 1);
    s.warnings = {"the name x became y"};
    writer.warning(s.warnings.front());
    writer.finish(s.expected.classes);
    return s;
}

TEST(ModelHandoff, WhatIsWrittenReadsBackAsTheDrawingItStandsFor) {
    for (unsigned seed = 1; seed <= 40; ++seed) {
        const Sample s = sample(seed, 1 + static_cast<int>(seed % 5));
        double lastFraction = 0.0;
        std::size_t consumed = 0;
        tool::HandoffReading reading;
        reading.progress = [&lastFraction](double done) {
            EXPECT_GE(done, lastFraction);
            lastFraction = done;
        };
        reading.consumed = [&consumed, &s](std::size_t upTo) {
            EXPECT_GE(upTo, consumed);
            EXPECT_LE(upTo, s.bytes.size());
            consumed = upTo;
        };
        const tool::HandoffResult result = tool::readHandoff(s.bytes, reading);
        EXPECT_EQ(result.drawing, s.expected) << "seed " << seed;
        // Taken over flat: each mesh's points once, as the child sent them.
        std::size_t meshes = 0;
        for (const hostsim::DrawingObject& object : result.drawing.layers.front().objects) {
            if (object.type != tool::kImportedMeshType) continue;
            ASSERT_TRUE(object.mesh && !object.polygons) << "seed " << seed;
            EXPECT_EQ(object.mesh->points.size(), s.pointCounts.at(meshes++)) << "seed " << seed;
        }
        EXPECT_EQ(meshes, s.pointCounts.size());
        EXPECT_EQ(result.warnings, s.warnings);
        ASSERT_EQ(result.materials.size(), 1u);
        EXPECT_TRUE(sameMaterial(result.materials.front(), s.materials.front())) << "seed " << seed;
        EXPECT_GT(consumed, 0u);
        EXPECT_LE(lastFraction, 1.0);
    }
}

// Reads damaged bytes: a refusal (HandoffError) or a drawing, nothing else.
bool refused(const std::string& bytes) {
    try {
        tool::readHandoff(bytes);
        return false;
    } catch (const HandoffError&) { return true; }
}

TEST(ModelHandoff, EveryCutAndEveryChangedByteIsARefusalOrADrawingNeverACrash) {
    const Sample s = sample(7, 2);
    for (std::size_t size = 0; size < s.bytes.size(); ++size)
        EXPECT_TRUE(refused(s.bytes.substr(0, size))) << "cut at " << size;
    EXPECT_TRUE(refused(s.bytes + 'Z')) << "data after the end";
    int refusals = 0;
    for (std::size_t at = 0; at < s.bytes.size(); ++at)
        for (unsigned char change : {0x01, 0x80, 0xFF}) {
            std::string damaged = s.bytes;
            damaged[at] = static_cast<char>(damaged[at] ^ change);
            refusals += refused(damaged) ? 1 : 0;
        }
    // Most bytes are coordinates, whose change still reads as a drawing; the
    // structure's bytes must not.
    EXPECT_GT(refusals, 100);
}

// The offset of a mesh record's point count in a one-mesh sample.
std::size_t firstCountOffset(const Sample& s) {
    const std::size_t header = 8 + 4 + 8 + 1;
    const std::size_t nameLength = s.expected.layers.front().objects.front().name.size();
    return header + 1 + 2 + 4 + 4 + nameLength;
}

void putWord(std::string& bytes, std::size_t at, std::uint32_t value) { std::memcpy(&bytes[at], &value, 4); }

TEST(ModelHandoff, CountsPastTheDataAndIndicesOutOfRangeAreRefusedWithTheirOffset) {
    const Sample s = sample(4, 1);
    const std::size_t counts = firstCountOffset(s);
    struct Damage {
        std::size_t field;  // 0 points, 1 polygons, 2 corners
        std::uint32_t value;
        const char* says;
    };
    for (const Damage& d :
         {Damage{0, 0xFFFFFFFFu, "more than the data holds"}, Damage{1, 0xFFFFFFF0u, "more than a drawing holds"},
          Damage{1, 3'000'000u, "more than the data holds"}, Damage{2, 0x7FFFFFFFu, "more than the data holds"},
          Damage{1, 0u, "without polygons"}}) {
        std::string damaged = s.bytes;
        putWord(damaged, counts + 4 * d.field, d.value);
        try {
            tool::readHandoff(damaged);
            ADD_FAILURE() << "field " << d.field << " = " << d.value << " was read";
        } catch (const HandoffError& error) {
            EXPECT_NE(std::string(error.what()).find(d.says), std::string::npos) << error.what();
            EXPECT_LE(error.offset(), damaged.size());
        }
    }
    // The first corner's index set to the point count, then to the largest index.
    std::uint32_t points = 0, polygons = 0;
    std::memcpy(&points, &s.bytes[counts], 4);
    std::memcpy(&polygons, &s.bytes[counts + 4], 4);
    const std::size_t firstIndex = counts + 12 + std::size_t{points} * 12 + std::size_t{polygons} * 4;
    for (std::uint32_t index : {points, 0xFFFFFFFFu}) {
        std::string damaged = s.bytes;
        putWord(damaged, firstIndex, index);
        try {
            tool::readHandoff(damaged);
            ADD_FAILURE() << "index " << index << " was read";
        } catch (const HandoffError& error) {
            EXPECT_NE(std::string(error.what()).find("names no usable point"), std::string::npos) << error.what();
            EXPECT_EQ(error.offset(), firstIndex);
        }
    }
}

// A material of a class the table lacks, a second one of the same class,
// and values out of range are refused.
TEST(ModelHandoff, MaterialsOfNoClassOrOutOfRangeAreRefused) {
    struct Bad {
        std::uint32_t classIndex;
        float opacity, shininess;
        bool twice;
        const char* says;
    };
    for (const Bad& bad : {Bad{3, 1.0f, 1.0f, false, "names class 3 of 2"}, Bad{1, 1.0f, 1.0f, true, "has a material"},
                           Bad{1, 1.5f, 1.0f, false, "above 1"}, Bad{1, 1.0f, -1.0f, false, "not usable"},
                           Bad{1, 1.0f, NAN, false, "not usable"}}) {
        std::string bytes;
        HandoffWriter writer([&bytes](const char* data, std::size_t size) { return bytes.append(data, size), true; },
                             1252, HandoffPlacement{});
        HandoffMesh mesh;
        mesh.type = tool::kImportedMeshType;
        mesh.points = {0, 0, 0, 1, 0, 0, 0, 1, 0};
        mesh.counts = {3};
        mesh.indices = {0, 1, 2};
        writer.mesh(mesh);
        tool::ImportedMaterial material = stoneMaterial(1);
        material.opacity = bad.opacity;
        material.shininess = bad.shininess;
        writer.material(material, bad.classIndex);
        if (bad.twice) writer.material(material, bad.classIndex);
        writer.finish({"None", "stone"});
        try {
            tool::readHandoff(bytes);
            ADD_FAILURE() << bad.says << ": read";
        } catch (const HandoffError& error) {
            EXPECT_NE(std::string(error.what()).find(bad.says), std::string::npos) << error.what();
        }
    }
}

// A grid of `quads` x `quads` squares, each two triangles, as an OBJ file.
void writeGrid(const std::string& path, int quads) {
    std::ofstream out(path);
    out << "o grid\n";
    for (int j = 0; j <= quads; ++j)
        for (int i = 0; i <= quads; ++i) out << "v " << i << " " << j << " " << (i * j) % 7 << "\n";
    const int row = quads + 1;
    for (int j = 0; j < quads; ++j)
        for (int i = 0; i < quads; ++i) {
            const int a = j * row + i + 1, b = a + 1, c = a + row, d = c + 1;
            out << "f " << a << " " << b << " " << d << "\nf " << a << " " << d << " " << c << "\n";
        }
}

// The import through its child process: after the reading, the conversion
// and the taking over each report a fraction of their own, from 0 on, never
// past 1, never going back, and the drawing holds every triangle.
TEST(ModelHandoff, TheImportReportsTheConversionAndTheTakingOverAsPhasesOfTheirOwn) {
    exporttest::TempFolder folder;
    const std::string model = folder / "grid.obj";
    writeGrid(model, 200);                        // 80 000 triangles: the conversion reports within the mesh
    std::vector<std::pair<int, double>> reports;  // phase (0 reading), fraction
    int phase = 0;
    tool::ModelImportOptions options;
    options.phase = [&](tool::ImportPhase next) { phase = next == tool::ImportPhase::Converting ? 1 : 2; };
    options.progress = [&](double done) {
        reports.emplace_back(phase, done);
        return true;
    };
    const hostsim::Drawing drawing = tool::importModel(model, options);
    ASSERT_EQ(drawing.layers.size(), 1u);
    ASSERT_TRUE(drawing.layers.front().objects.front().mesh.has_value());
    EXPECT_EQ(drawing.layers.front().objects.front().mesh->size(), 80000u);
    // Assimp gives each corner a point of its own; the child sends each value once.
    EXPECT_EQ(drawing.layers.front().objects.front().mesh->points.size(), 201u * 201u);
    int last = 0;
    double lastFraction = 0.0;
    std::set<int> seen;
    for (const auto& [at, done] : reports) {
        ASSERT_GE(at, last) << "phases in order";
        if (at != last) lastFraction = 0.0;
        EXPECT_GE(done, lastFraction) << "phase " << at;
        EXPECT_LE(done, 1.0);
        last = at;
        lastFraction = done;
        seen.insert(at);
    }
    // The reading's own reports may all come before the tool first looks.
    EXPECT_TRUE(seen.count(1) == 1 && seen.count(2) == 1) << "converting and taking over both reported";
    EXPECT_GT(lastFraction, 0.9) << "the taking over ends near its end";
}

}  // namespace
}  // namespace pelmora
