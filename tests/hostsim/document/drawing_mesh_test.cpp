// Conversion geometry kept flat: a document whose objects convert into plain
// polygons loads into meshes, writes back as the same bytes, and the host
// answers for a mesh exactly what it answers for the same polygons given as
// entries of their own; objects with groups, classes or flags keep entries.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "plugin/host/services.h"
#include "tests/hostsim/host/host_fixture.h"

namespace pelmora::hostsim {
namespace {

using testing::HostRun;

// A corner from a small set of values, so that corners repeat, with -0.0 beside 0.0.
Point3 randomCorner(std::mt19937& random) {
    static const double kValues[] = {0.0, -0.0, 1.5, -2.25, 1e-300, 12345.678};
    auto pick = [&random] { return kValues[random() % 6]; };
    return {pick(), pick(), pick()};
}

GeometryEntry randomPolygon(std::mt19937& random, bool plain) {
    GeometryEntry e;
    const std::size_t corners = 3 + random() % 5;
    for (std::size_t k = 0; k < corners; ++k) e.points.push_back(randomCorner(random));
    if (!plain) {
        switch (random() % 3) {
            case 0:
                e.className = "Glass";
                break;
            case 1:
                e.closed = false;
                break;
            default:
                e.vertexData = false;
        }
    }
    return e;
}

// Objects of type 24: even ones of plain polygons only (one of them a single
// polygon), odd ones with one entry that is not plain or a group.
Drawing randomDrawing(unsigned seed) {
    std::mt19937 random(seed);
    Drawing d;
    d.classes = {"None", "Glass"};
    Layer& layer = d.layers.emplace_back();
    layer.name = "A";
    d.activeLayer = "A";
    for (int i = 0; i < 12; ++i) {
        DrawingObject& o = layer.objects.emplace_back();
        o.type = 24;
        o.className = "None";
        std::vector<GeometryEntry> entries;
        const std::size_t count = i == 0 ? 1 : 1 + random() % 20;
        for (std::size_t p = 0; p < count; ++p) entries.push_back(randomPolygon(random, true));
        if (i % 2 == 1) {
            if (random() % 2) entries[random() % count] = randomPolygon(random, false);
            else {
                GeometryEntry group;
                group.isGroup = true;
                group.members = {randomPolygon(random, true)};
                entries.push_back(std::move(group));
            }
        }
        o.polygons = std::move(entries);
    }
    return d;
}

void traceNode(std::ostringstream& out, HostHandle h, int depth) {
    out << depth << " type " << host::objectType(h) << " class " << host::objectClass(h);
    if (host::objectType(h) == kCodeGroup) {
        out << "\n";
        for (HostHandle m = host::firstMember(h); m != nullptr; m = host::nextObject(m)) traceNode(out, m, depth + 1);
        return;
    }
    const int n = host::vertexCount(h);
    out << " closed " << host::isClosedPoly(h) << " data " << host::polyVertexData(h) << " n " << n;
    for (int k = 1; k <= n; ++k) {
        HostPoint p{};
        host::getVertex(h, static_cast<std::int16_t>(k), &p);
        out << " " << p.x << "," << p.y << "," << p.z << (std::signbit(p.x) ? "-" : "+");
    }
    out << "\n";
}

// What the host answers for every object's temporary object, part by part.
std::string hostAnswers(const Drawing& drawing) {
    HostRun run(drawing);
    std::ostringstream out;
    out.precision(17);
    for (int i = 0; i < static_cast<int>(drawing.layers.front().objects.size()); ++i) {
        HostHandle temporary = host::makeTemporaryObject(host::objectToken(run.host.objectHandle("A", {i})));
        if (temporary == nullptr) return "no temporary object for object " + std::to_string(i);
        traceNode(out, temporary, 0);
        host::deleteObject(temporary);
    }
    out << "faults " << run.host.faults().size();
    return out.str();
}

TEST(DrawingMesh, PlainPolygonsLoadFlatWriteTheSameBytesAndGetTheSameAnswers) {
    for (unsigned seed = 1; seed <= 30; ++seed) {
        const Drawing given = randomDrawing(seed);
        const std::string text = serializeDrawing(given);
        const Drawing loaded = parseDrawing(text);
        const auto& objects = loaded.layers.front().objects;
        for (std::size_t i = 0; i < objects.size(); ++i) {
            EXPECT_EQ(objects[i].mesh.has_value(), i % 2 == 0) << "seed " << seed << " object " << i;
            EXPECT_EQ(objects[i].polygons.has_value(), i % 2 == 1) << "seed " << seed << " object " << i;
        }
        // The six values of a coordinate make at most 216 points, stored once each.
        EXPECT_LE(objects[2].mesh->points.size(), 216u);
        EXPECT_EQ(serializeDrawing(loaded), text) << "seed " << seed;
        EXPECT_EQ(loaded, given) << "seed " << seed;
        EXPECT_EQ(hostAnswers(loaded), hostAnswers(given)) << "seed " << seed;
    }
}

TEST(DrawingMesh, AMeshEqualsOnlyTheSamePolygons) {
    const Drawing given = randomDrawing(3);
    const Drawing loaded = parseDrawing(serializeDrawing(given));
    ASSERT_EQ(loaded, given);
    Drawing moved = loaded;
    PolygonMesh& mesh = *moved.layers.front().objects[2].mesh;
    mesh.points.push_back({9, 9, 9});
    mesh.corners[1] = static_cast<std::uint32_t>(mesh.points.size() - 1);
    EXPECT_NE(moved, given) << "a corner moved";
    Drawing fewer = loaded;
    fewer.layers.front().objects[4].mesh->ends.pop_back();
    EXPECT_NE(fewer, given) << "a polygon less";
    Drawing notPlain = given;
    (*notPlain.layers.front().objects[2].polygons)[0].closed = false;
    EXPECT_NE(loaded, notPlain) << "an open polygon is not a mesh's";
}

}  // namespace
}  // namespace pelmora::hostsim
