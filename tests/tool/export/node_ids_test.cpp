// Node ids unique in every written file: the lights past the 498 light ids,
// meshes counted on into the light ids and an id table naming the ids of
// other nodes each move the node that comes later to a free id, say so once,
// and leave every other id as the rules give it. A moved light keeps its new
// id in the drawing, and no record holds id 0.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "hostsim/document/drawing.h"
#include "qmxread/qmx_reader.h"
#include "tests/support/temp_folder.h"
#include "tests/tool/common/tool_runner.h"

namespace pelmora {
namespace {

using exporttest::readFile;
using exporttest::TempFolder;
using exporttest::writeFile;
using namespace exporttest::outcome;

constexpr int kLights = 600, kClasses = 1000;

// A camera, then every class's triangle, then the lights; every 50th light
// writes no target node (property 55 is 1).
std::string drawing() {
    std::string text = R"({"pelmoraDrawing": 1, "classes": ["C0")";
    for (int c = 1; c < kClasses; ++c) text += ", \"C" + std::to_string(c) + "\"";
    text +=
        R"(], "view": {"perspective": true, "distance": 5000, "focal": 1000}, "layers": [{"name": "L", "objects": [)";
    for (int c = 0; c < kClasses; ++c)
        text += R"({"type": "polygon", "class": "C)" + std::to_string(c) + R"(", "points": [[0,0,0],[9,0,0],[0,9,)" +
                std::to_string(c) + "]]},\n";
    for (int l = 0; l < kLights; ++l)
        text += std::string(l ? ",\n" : "") + R"({"type": "light", "properties": {"54": [0, 0, 3000], "55": )" +
                (l % 50 == 7 ? "1" : "2") + "}}";
    return text + "]}]}\n";
}

// Classes fixed at a light's target and light node, the camera's target, the
// root, the counter's first id, the first id a node moves to, and a free id.
const std::vector<std::pair<int, std::uint32_t>> kTable = {{0, 1998}, {1, 1995}, {2, 1002}, {3, 1000},
                                                           {4, 1003}, {5, 2000}, {6, 7777}};

// The ids the rules give, in the order of the file: root, camera target,
// camera, each light's target and light node, the meshes. A light that writes
// no target node names its target's id all the same, which no node holds.
struct Ruled {
    std::uint32_t id;
    bool light;    // a light's: without an id (0 and 1) it moves whatever the others hold
    bool written;  // a node of the file, not only the id a light names as its target
};

std::vector<Ruled> ruledIds() {
    std::vector<Ruled> r{{1000, false, true}, {1002, false, true}, {1001, false, true}};
    for (int l = 0; l < kLights; ++l) {
        const std::uint32_t target = l < 498 ? 1998 - 2 * l : 0;
        r.push_back({target, true, l % 50 != 7});
        r.push_back({target + 1, true, true});
    }
    std::uint32_t counter = 1003;
    for (int c = 0; c < kClasses; ++c) {
        std::uint32_t id = 0;
        for (const auto& [cls, fixed] : kTable) id = cls == c ? fixed : id;
        r.push_back({id != 0 ? id : counter++, false, true});
    }
    return r;
}

std::vector<std::int32_t> lightRecordIds(const std::string& path) {
    std::vector<std::int32_t> ids;
    const hostsim::Drawing loaded = hostsim::loadDrawing(path);
    for (const auto& object : loaded.layers.at(0).objects) {
        if (object.type != hostsim::kCodeLight) continue;
        EXPECT_EQ(object.records.size(), 1u);
        std::int32_t id = 0;
        if (!object.records.empty()) std::memcpy(&id, object.records[0].bytes.data() + 128, 4);
        ids.push_back(id);
    }
    return ids;
}

TEST(NodeIds, CollidingNodesMoveToFreeIdsAndEveryOtherIdStaysAsTheRulesGiveIt) {
    TempFolder folder;
    writeFile(folder / "d.json", drawing());
    std::filesystem::create_directories(folder / "host/Pelmora");
    std::string table;
    for (const auto& [cls, id] : kTable) table += "C" + std::to_string(cls) + "\t" + std::to_string(id) + "\n";
    writeFile(folder / "host/Pelmora/_id_table.txt", table);

    const std::vector<Ruled> ruled = ruledIds();
    std::vector<std::uint32_t> firstIds;
    for (int round = 0; round < 2; ++round) {
        const std::string out = folder / ("out" + std::to_string(round) + ".qmx");
        const auto run =
            exporttest::runTool({"export", folder / "d.json", "-o", out, "--host-dir", folder / "host", "--mode", "2"});
        ASSERT_EQ(run.status, kExitOk) << run.err;
        EXPECT_EQ(occurrences(run.out + run.err, "nodes of the scene had ids other nodes hold"), 1) << run.err;

        const qmxread::QmxFile file = qmxread::readQmxFile(out);
        std::vector<std::uint32_t> ids{file.roots.at(0).id};
        for (const auto& node : file.roots.at(0).children) ids.push_back(node.id);
        ASSERT_EQ(ids.size(), static_cast<std::size_t>(
                                  std::count_if(ruled.begin(), ruled.end(), [](const Ruled& r) { return r.written; })));
        EXPECT_EQ(std::set<std::uint32_t>(ids.begin(), ids.end()).size(), ids.size()) << "a node id is shared";
        // A node keeps the rules' id unless a node before it kept that id (or,
        // for a light, it has none); then it takes one no rule gave a node.
        std::set<std::uint32_t> kept;
        std::size_t at = 0;
        int moved = 0;
        for (const Ruled& r : ruled) {
            if (!r.written) continue;  // the target id of a light without a target node
            const bool collides = kept.count(r.id) != 0 || (r.light && r.id <= 1);
            if (!collides) kept.insert(r.id);
            const std::uint32_t id = ids[at++];
            if (!collides) {
                EXPECT_EQ(id, r.id) << "node " << at;
                continue;
            }
            ++moved;
            EXPECT_GE(id, 2000u) << "node " << at;
            EXPECT_NE(id, 2000u) << "node " << at << " took the id the table gives C5";
        }
        // The light nodes still name their targets.
        for (const auto& node : file.roots.at(0).children) {
            if (node.type == 4) { EXPECT_EQ(static_cast<std::uint32_t>(node.targetId1) + 1u, node.id); }
        }
        EXPECT_GT(moved, 1000);

        // Every light holds an id in the drawing, none 0, the moved ones their new ids.
        const std::vector<std::int32_t> records = lightRecordIds(folder / "d.json");
        ASSERT_EQ(records.size(), static_cast<std::size_t>(kLights));
        EXPECT_EQ(std::count(records.begin(), records.end(), 0), 0);
        EXPECT_EQ(std::set<std::int32_t>(records.begin(), records.end()).size(), records.size());
        if (round == 0) firstIds = ids;
        else EXPECT_EQ(ids, firstIds) << "the second export gives every node the id of the first";
    }
}

}  // namespace
}  // namespace pelmora
