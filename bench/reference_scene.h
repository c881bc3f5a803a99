// The reference scenes of the bench programs: a terrain cut into tiles of
// triangles (objects converted with merging), classes, lights and a camera,
// built straight into the emulated host's drawing model; the same tiles as the
// flat corner streams the weld sees, and as an OBJ file for the shell runs.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "hostsim/document/drawing.h"

namespace pelmora::bench {

// The terrain: quadsX x quadsY quads of `spacing` millimetres, each quad two
// triangles, cut into tiles of tileX x tileY quads; one object per tile.
struct TerrainShape {
    int quadsX = 1000;
    int quadsY = 500;
    int tileX = 25;
    int tileY = 20;
    // 50 mm keeps every coordinate below 64 m, where a float still resolves
    // well under the weld's tolerance (so a 2 micrometre jitter stays joinable).
    double spacing = 50.0;
    int classes = 200;
    int lights = 50;

    int tilesX() const { return quadsX / tileX; }
    int tilesY() const { return quadsY / tileY; }
    int objects() const { return tilesX() * tilesY(); }
    long triangles() const { return 2L * quadsX * quadsY; }
};

// The default scene: 1000 objects of 1000 triangles.
inline TerrainShape standardTerrain() { return TerrainShape{}; }

// A few very large objects: the same terrain as 4 tiles of 250 000 triangles.
inline TerrainShape largeObjectTerrain() {
    TerrainShape shape;
    shape.tileX = 250;
    shape.tileY = 500;
    return shape;
}

// Height of grid point (i, j) in millimetres: smooth hills, no two grid points
// closer than the spacing.
inline double terrainHeight(int i, int j) {
    return 400.0 * std::sin(i * 0.013) * std::cos(j * 0.021) + 150.0 * std::sin((i + j) * 0.05);
}

inline hostsim::Point3 gridPoint(const TerrainShape& shape, int i, int j) {
    return hostsim::Point3{i * shape.spacing, j * shape.spacing, terrainHeight(i, j)};
}

// The triangles of tile (tx, ty) in order, three grid points each.
template <typename Visit>
void forEachTriangle(const TerrainShape& shape, int tx, int ty, Visit visit) {
    for (int qj = 0; qj < shape.tileY; ++qj) {
        for (int qi = 0; qi < shape.tileX; ++qi) {
            const int i = tx * shape.tileX + qi;
            const int j = ty * shape.tileY + qj;
            visit(i, j, i + 1, j, i + 1, j + 1);
            visit(i, j, i + 1, j + 1, i, j + 1);
        }
    }
}

inline std::string className(int k) {
    char text[16];
    std::snprintf(text, sizeof text, "Class%03d", k);
    return text;
}

// Type code of an object the host converts into polygons with merging.
inline constexpr std::int16_t kMergedObjectType = 24;

inline hostsim::Drawing makeReferenceDrawing(const TerrainShape& shape) {
    hostsim::Drawing drawing;
    drawing.unitsPerInch = 25.4;  // millimetres
    drawing.hostVersion = 15;
    drawing.classes = {"None"};
    for (int k = 1; k <= shape.classes; ++k) drawing.classes.push_back(className(k));

    hostsim::View view;
    view.perspective = true;
    view.origin = hostsim::Point3{shape.quadsX * shape.spacing / 2, shape.quadsY * shape.spacing / 2, 0.0};
    view.distance = 60000.0;
    view.focal = 1000.0;
    drawing.view = view;

    hostsim::Layer layer;
    layer.name = "Terrain";
    layer.elevation = 0.0;
    int object = 0;
    for (int ty = 0; ty < shape.tilesY(); ++ty) {
        for (int tx = 0; tx < shape.tilesX(); ++tx, ++object) {
            hostsim::DrawingObject tile;
            tile.type = kMergedObjectType;
            tile.className = drawing.classes[static_cast<std::size_t>(1 + object % shape.classes)];
            std::vector<hostsim::GeometryEntry> polygons;
            polygons.reserve(static_cast<std::size_t>(2 * shape.tileX * shape.tileY));
            forEachTriangle(shape, tx, ty, [&](int i0, int j0, int i1, int j1, int i2, int j2) {
                hostsim::GeometryEntry entry;
                entry.points = {gridPoint(shape, i0, j0), gridPoint(shape, i1, j1), gridPoint(shape, i2, j2)};
                polygons.push_back(std::move(entry));
            });
            tile.polygons = std::move(polygons);
            layer.objects.push_back(std::move(tile));
        }
    }

    for (int k = 0; k < shape.lights; ++k) {
        hostsim::DrawingObject light;
        light.type = hostsim::kCodeLight;
        light.className = drawing.classes.front();
        light.name = "Lamp " + std::to_string(k + 1);
        using Kind = hostsim::PropertyValue::Kind;
        auto number = [](double v) {
            hostsim::PropertyValue p;
            p.kind = Kind::Double;
            p.doubleValue = v;
            return p;
        };
        auto point = [](double x, double y, double z) {
            hostsim::PropertyValue p;
            p.kind = Kind::Point;
            p.pointValue = hostsim::Point3{x, y, z};
            return p;
        };
        hostsim::PropertyValue kind;
        kind.kind = Kind::Int16;
        kind.intValue = static_cast<std::int16_t>(k % 3);
        light.properties[51] = number(0.5 + 0.01 * k);
        light.properties[52] = point(1.0, 0.9, 0.8);
        light.properties[54] = point(1000.0 * k, 500.0 * (k % 7), 8000.0);
        light.properties[55] = kind;
        light.properties[56] = point(0.0, 0.3, -1.0);
        layer.objects.push_back(std::move(light));
    }
    drawing.layers.push_back(std::move(layer));
    drawing.activeLayer = "Terrain";
    return drawing;
}

// A drawing of many small objects, as a document of about 45 MB when written:
// `objects` polygons of four points each, in four layers, 50 classes.
inline hostsim::Drawing makeManyObjectsDrawing(int objects) {
    hostsim::Drawing drawing;
    drawing.classes.clear();
    for (int k = 0; k < 50; ++k) drawing.classes.push_back(className(k));
    for (int l = 0; l < 4; ++l) {
        hostsim::Layer layer;
        layer.name = "Layer " + std::to_string(l + 1);
        layer.objects.reserve(static_cast<std::size_t>(objects / 4 + 1));
        for (int i = l; i < objects; i += 4) {
            hostsim::DrawingObject o;
            o.type = hostsim::kCodePolygon;
            o.className = drawing.classes[static_cast<std::size_t>(i % 50)];
            for (int p = 0; p < 4; ++p) {
                const double a = p * 1.5707963267948966;
                o.points.push_back({i * 37.5 + 100.0 * std::cos(a), (i % 997) * 12.25 + 100.0 * std::sin(a),
                                    std::sin(i * 0.01) * 300.0});
            }
            layer.objects.push_back(std::move(o));
        }
        drawing.layers.push_back(std::move(layer));
    }
    drawing.activeLayer = drawing.layers.front().name;
    return drawing;
}

// One object's corners as the weld receives them: output vertices (x, height, y)
// in metres as floats, three per triangle.
struct CornerStream {
    std::vector<float> xyz;  // 9 floats per triangle
    std::size_t corners() const { return xyz.size() / 3; }
};

// Deterministic uniform numbers in [-1, 1).
class Jitter {
public:
    explicit Jitter(std::uint64_t seed) : state_(seed) {}
    double next() {
        state_ += 0x9E3779B97F4A7C15ULL;
        std::uint64_t z = state_;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        z ^= z >> 31;
        return static_cast<double>(z >> 11) / static_cast<double>(1ULL << 52) - 1.0;
    }

private:
    std::uint64_t state_;
};

// Every tile's corner stream; `jitterMetres` moves each corner of each
// triangle independently by up to that much along every axis.
inline std::vector<CornerStream> makeCornerStreams(const TerrainShape& shape, double jitterMetres, std::uint64_t seed) {
    std::vector<CornerStream> streams;
    streams.reserve(static_cast<std::size_t>(shape.objects()));
    Jitter jitter(seed);
    for (int ty = 0; ty < shape.tilesY(); ++ty) {
        for (int tx = 0; tx < shape.tilesX(); ++tx) {
            CornerStream stream;
            stream.xyz.reserve(static_cast<std::size_t>(18 * shape.tileX * shape.tileY));
            auto corner = [&](int i, int j) {
                const hostsim::Point3 p = gridPoint(shape, i, j);
                const double x = p.x / 1000.0 + jitterMetres * jitter.next();
                const double h = p.z / 1000.0 + jitterMetres * jitter.next();
                const double y = p.y / 1000.0 + jitterMetres * jitter.next();
                stream.xyz.push_back(static_cast<float>(x));
                stream.xyz.push_back(static_cast<float>(h));
                stream.xyz.push_back(static_cast<float>(y));
            };
            forEachTriangle(shape, tx, ty, [&](int i0, int j0, int i1, int j1, int i2, int j2) {
                corner(i0, j0);
                corner(i1, j1);
                corner(i2, j2);
            });
            streams.push_back(std::move(stream));
        }
    }
    return streams;
}

// Distinct grid points of one tile: what an exact weld of it gives.
inline long gridPointsPerTile(const TerrainShape& shape) {
    return static_cast<long>(shape.tileX + 1) * (shape.tileY + 1);
}

// The terrain as an OBJ file in metres (Z up as drawn): one object per tile,
// its material naming its class; vertices numbered per tile.
inline bool writeTerrainObj(const TerrainShape& shape, const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    long base = 1;
    int object = 0;
    const int width = shape.tileX + 1;
    for (int ty = 0; ty < shape.tilesY(); ++ty) {
        for (int tx = 0; tx < shape.tilesX(); ++tx, ++object) {
            std::fprintf(file, "o tile_%d\nusemtl %s\n", object, className(1 + object % shape.classes).c_str());
            for (int qj = 0; qj <= shape.tileY; ++qj) {
                for (int qi = 0; qi <= shape.tileX; ++qi) {
                    const hostsim::Point3 p = gridPoint(shape, tx * shape.tileX + qi, ty * shape.tileY + qj);
                    std::fprintf(file, "v %.4f %.4f %.4f\n", p.x / 1000.0, p.y / 1000.0, p.z / 1000.0);
                }
            }
            for (int qj = 0; qj < shape.tileY; ++qj) {
                for (int qi = 0; qi < shape.tileX; ++qi) {
                    const long a = base + qj * width + qi;
                    const long b = a + 1, c = a + 1 + width, d = a + width;
                    std::fprintf(file, "f %ld %ld %ld\nf %ld %ld %ld\n", a, b, c, a, c, d);
                }
            }
            base += static_cast<long>(width) * (shape.tileY + 1);
        }
    }
    return std::fclose(file) == 0;
}

}  // namespace pelmora::bench
