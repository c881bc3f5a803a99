// The pre-check and the geometry pass over one drawing in every export mode:
// selection, groups, invisible containers, end markers, instances, references,
// lights, elevations and the abort poll.
#if defined(__linux__)
#include <pthread.h>
#endif

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "plugin/collect/collection.h"
#include "plugin/collect/geometry.h"
#include "plugin/collect/visited_list.h"
#include "plugin/host/qmx_exception.h"
#include "plugin/payloads/light_source.h"
#include "tests/plugin/collect/collect_fixture.h"

namespace pelmora {
namespace {

using collect_test::HookScope;
using collect_test::HostedDrawing;
using collect_test::polygonTags;
using collect_test::taggedTriangle;

std::string polygon(int tag, const std::string& extra = "", double height = 0.0) {
    return R"({"type": "polygon", "points": )" + taggedTriangle(tag, height) + extra + "}";
}
std::string converted(int type, int tag, const std::string& extra = "") {
    return R"({"type": )" + std::to_string(type) + R"(, "polygons": [{"points": )" + taggedTriangle(tag) + "}]" +
           extra + "}";
}

// Ground (the drawing root), elevation 1 m:
//   tag 1 polygon, selected          | tag 2 + 3 in a selected group (members unselected)
//   tag 4 merged object, unselected  | tag 5 invisible polygon, selected
//   tag 6 in an invisible group      | reference to Annex, selected
//   tag 7 instance of kind 1, sel.   | tag 8 instance of kind 3
//   a light, selected                | end marker | tag 9 polygon, selected
// Upper (elevation 3 m): tag 10. Hidden (invisible): tag 11. Annex (0.5 m): tag 12.
std::string modesDrawing(int hostVersion = 13) {
    return R"({"pelmoraDrawing": 1, "unitsPerInch": 25.4, "hostVersion": )" + std::to_string(hostVersion) + R"(,
      "classes": ["None", "Walls", "Roof", "Glass"],
      "symbols": [{"name": "Chair", "kind": 1}, {"name": "Ghost", "kind": 3}],
      "activeLayer": "Ground",
      "layers": [
        {"name": "Ground", "elevation": 1000, "objects": [
          )" +
           polygon(1, R"(, "selected": true, "class": "Walls")") + R"(,
          {"type": "group", "selected": true, "members": [)" +
           polygon(2, R"(, "class": "Roof")") + "," + polygon(3, R"(, "class": "Glass")") + R"(]},
          )" +
           converted(24, 4) + R"(,
          )" +
           polygon(5, R"(, "selected": true, "visible": false)") + R"(,
          {"type": "group", "selected": true, "visible": false, "members": [)" +
           polygon(6, R"(, "selected": true)") + R"(]},
          {"type": "reference", "layer": "Annex", "selected": true},
          )" +
           converted(15, 7, R"(, "symbol": "Chair", "selected": true)") + R"(,
          )" +
           converted(15, 8, R"(, "symbol": "Ghost", "selected": true)") + R"(,
          {"type": "light", "selected": true, "properties": {"55": 0}},
          {"type": "end"},
          )" +
           polygon(9, R"(, "selected": true)") + R"(
        ]},
        {"name": "Upper", "elevation": 3000, "objects": [)" +
           polygon(10) + R"(]},
        {"name": "Hidden", "visible": false, "objects": [)" +
           polygon(11) + R"(]},
        {"name": "Annex", "elevation": 500, "objects": [)" +
           polygon(12) + R"(]}
      ]})";
}

TEST(GeometryPassModes, SelectedObjectsAndEverythingInSelectedGroups) {
    HostedDrawing drawing(modesDrawing());
    extractGeometry(*drawing.scene, kModeSelected);
    EXPECT_EQ(polygonTags(*drawing.scene), (std::vector<int>{1, 2, 3, 7}));
    EXPECT_EQ(drawing.scene->lights.size(), 1u);
    EXPECT_EQ(drawing.host.leakedTemporaries(), 0);
    EXPECT_TRUE(drawing.host.faults().empty());
}

TEST(GeometryPassModes, VisibleObjectsOfTheDrawingRoot) {
    HostedDrawing drawing(modesDrawing());
    extractGeometry(*drawing.scene, kModeVisible);
    EXPECT_EQ(polygonTags(*drawing.scene), (std::vector<int>{1, 2, 3, 4, 7}));
    EXPECT_EQ(drawing.scene->lights.size(), 1u);
}

TEST(GeometryPassModes, EveryVisibleLayerWithoutReferences) {
    HostedDrawing drawing(modesDrawing());
    extractGeometry(*drawing.scene, kModeAllLayers);
    EXPECT_EQ(polygonTags(*drawing.scene), (std::vector<int>{1, 2, 3, 4, 7, 10, 12}));
    EXPECT_TRUE(drawing.host.faults().empty());
}

TEST(GeometryPassModes, ReferencesWalkedOnceWithTheirOwnElevation) {
    HostedDrawing drawing(modesDrawing());
    extractGeometry(*drawing.scene, kModeWithReferences);
    // Annex is reached by the reference first and skipped as a layer later.
    EXPECT_EQ(polygonTags(*drawing.scene), (std::vector<int>{1, 2, 3, 4, 7, 10, 12}));
    const MeshSource* none = collect_test::meshOf(*drawing.scene, "None");
    ASSERT_NE(none, nullptr);
    // Heights: Annex's polygon at 0.5 m; the instance after the reference back at 1 m.
    bool sawAnnex = false, sawInstance = false;
    for (std::int32_t i = 0; i < none->vertices().count(); ++i) {
        const Vec3f v = none->vertices().at(i);
        if (v.x >= 120.0f && v.x < 130.0f) {
            EXPECT_NEAR(v.y, 0.5f, 1e-6);
            sawAnnex = true;
        }
        if (v.x >= 70.0f && v.x < 80.0f) {
            EXPECT_NEAR(v.y, 1.0f, 1e-6);
            sawInstance = true;
        }
    }
    EXPECT_TRUE(sawAnnex);
    EXPECT_TRUE(sawInstance);
    // The light keeps the elevation in force where it stands.
    ASSERT_EQ(drawing.scene->lights.size(), 1u);
    EXPECT_NEAR(drawing.scene->lights[0]->baseHeight(), 1.0, 1e-9);
}

TEST(GeometryPassModes, MeshesInOrderOfFirstUse) {
    HostedDrawing drawing(modesDrawing());
    extractGeometry(*drawing.scene, kModeVisible);
    std::vector<std::string> names;
    for (const auto& mesh : drawing.scene->meshes) names.push_back(collect_test::classNameOf(mesh->classIndex()));
    EXPECT_EQ(names, (std::vector<std::string>{"Walls", "Roof", "Glass", "None"}));
}

TEST(GeometryPassModes, ElevationsByHostVersion) {
    {
        HostedDrawing drawing(modesDrawing(13));
        extractGeometry(*drawing.scene, kModeAllLayers);
        const MeshSource* none = collect_test::meshOf(*drawing.scene, "None");
        ASSERT_NE(none, nullptr);
        for (std::int32_t i = 0; i < none->vertices().count(); ++i) {
            const Vec3f v = none->vertices().at(i);
            const float expected = v.x >= 100.0f && v.x < 110.0f ? 3.0f : v.x >= 120.0f ? 0.5f : 1.0f;
            EXPECT_NEAR(v.y, expected, 1e-6) << "x " << v.x;
        }
        EXPECT_NEAR(elevationOf(drawing.host.layerHandle("Upper")), 3000.0, 1e-9);
    }
    {
        HostedDrawing drawing(modesDrawing(15));
        extractGeometry(*drawing.scene, kModeAllLayers);
        const MeshSource* none = collect_test::meshOf(*drawing.scene, "None");
        ASSERT_NE(none, nullptr);
        for (std::int32_t i = 0; i < none->vertices().count(); ++i) EXPECT_EQ(none->vertices().at(i).y, 0.0f);
        EXPECT_EQ(elevationOf(drawing.host.layerHandle("Upper")), 0.0);
    }
    {
        // A host without the version service is never read from: elevation 0.
        HostedDrawing drawing(modesDrawing(13));
        drawing.host.disableService(host::kGetHostVersion);
        EXPECT_EQ(elevationOf(drawing.host.layerHandle("Upper")), 0.0);
    }
}

TEST(GeometryPassModes, NullDrawingRootConvertsNothing) {
    HostedDrawing drawing(modesDrawing());
    drawing.host.disableService(host::kDrawingRoot);
    extractGeometry(*drawing.scene, kModeVisible);
    EXPECT_TRUE(drawing.scene->meshes.empty());
    EXPECT_TRUE(drawing.scene->lights.empty());
}

TEST(GeometryPassModes, CurrentItemDeeperThanOneStepWalksTheChainStartOnly) {
    std::string json = modesDrawing();
    json.replace(json.find("\"hostVersion\""), 0, "\"currentItem\": 3, ");
    HostedDrawing drawing(json);
    extractGeometry(*drawing.scene, kModeVisible);
    // The chain start (the drawing header) holds no objects: nothing is converted.
    EXPECT_TRUE(drawing.scene->meshes.empty());
    EXPECT_TRUE(drawing.scene->lights.empty());
    EXPECT_TRUE(drawing.host.faults().empty());
}

TEST(GeometryPassLights, NodeCountFromTheLightKind) {
    HostedDrawing drawing(R"({"pelmoraDrawing": 1, "layers": [{"name": "L", "elevation": 2000, "objects": [
        {"type": "light", "properties": {"55": 1}},
        {"type": "light", "properties": {"55": 2}},
        {"type": "light"},
        {"type": "light", "properties": {"55": 1.0}}
      ]}]})");
    extractGeometry(*drawing.scene, kModeVisible);
    ASSERT_EQ(drawing.scene->lights.size(), 4u);
    EXPECT_EQ(drawing.scene->lights[0]->nodeCount(), 1);
    EXPECT_EQ(drawing.scene->lights[1]->nodeCount(), 2);
    EXPECT_EQ(drawing.scene->lights[2]->nodeCount(), 2);  // property not given
    EXPECT_EQ(drawing.scene->lights[3]->nodeCount(), 2);  // given as a double, not an int16
    EXPECT_NEAR(drawing.scene->lights[0]->baseHeight(), 2.0, 1e-9);
    EXPECT_EQ(drawing.scene->lights[0]->object(), drawing.host.objectHandle("L", {0}));
    EXPECT_TRUE(drawing.scene->meshes.empty());
}

TEST(GeometryPassEndMarker, StopsTheContainerButNotThePrecheck) {
    HostedDrawing drawing(R"({"pelmoraDrawing": 1, "layers": [{"name": "L", "objects": [
        {"type": "end"}, )" +
                          polygon(1) + R"(]}]})");
    EXPECT_NO_THROW(checkExportable(kModeVisible));
    extractGeometry(*drawing.scene, kModeVisible);
    EXPECT_TRUE(drawing.scene->meshes.empty());
}

TEST(GeometryPassEndMarker, InsideAGroupEndsOnlyThatGroup) {
    HostedDrawing drawing(R"({"pelmoraDrawing": 1, "layers": [{"name": "L", "objects": [
        {"type": "group", "members": [)" +
                          polygon(1) + R"(, {"type": "end"}, )" + polygon(2) + R"(]},
        )" + polygon(3) + R"(]}]})");
    extractGeometry(*drawing.scene, kModeVisible);
    EXPECT_EQ(polygonTags(*drawing.scene), (std::vector<int>{1, 3}));
}

qmx_exception precheckFailure(std::int32_t mode) {
    try {
        checkExportable(mode);
    } catch (const qmx_exception& e) { return e; }
    return qmx_exception{-1, -1};
}

TEST(Precheck, FindsSomethingInEveryMode) {
    HostedDrawing drawing(modesDrawing());
    for (std::int32_t mode = 0; mode <= 3; ++mode) EXPECT_NO_THROW(checkExportable(mode)) << "mode " << mode;
    EXPECT_TRUE(drawing.scene->meshes.empty());  // changes nothing in the container
}

TEST(Precheck, DrawingWithOnlyLightsFails) {
    HostedDrawing drawing(R"({"pelmoraDrawing": 1, "layers": [{"name": "L", "objects": [
        {"type": "light", "selected": true}, {"type": "light", "selected": true}]}]})");
    for (std::int32_t mode = 0; mode <= 3; ++mode) {
        const qmx_exception e = precheckFailure(mode);
        EXPECT_EQ(e.list, kMessageList) << "mode " << mode;
        EXPECT_EQ(e.index, kMsgNothingToExport) << "mode " << mode;
    }
}

TEST(Precheck, SelectionIsTestedOnEveryLevel) {
    // Only a selected group whose members are unselected: mode 0 finds nothing.
    HostedDrawing drawing(R"({"pelmoraDrawing": 1, "layers": [{"name": "L", "objects": [
        {"type": "group", "selected": true, "members": [)" +
                          polygon(1) + R"(]}]}]})");
    EXPECT_EQ(precheckFailure(kModeSelected).index, kMsgNothingToExport);
    EXPECT_NO_THROW(checkExportable(kModeVisible));
    // The geometry pass of mode 0 still takes the whole selected group.
    extractGeometry(*drawing.scene, kModeSelected);
    EXPECT_EQ(polygonTags(*drawing.scene), (std::vector<int>{1}));
}

TEST(Precheck, NothingSelectedFailsModeZero) {
    HostedDrawing drawing(R"({"pelmoraDrawing": 1, "layers": [{"name": "L", "objects": [)" + polygon(1) + R"(]}]})");
    EXPECT_EQ(precheckFailure(kModeSelected).index, kMsgNothingToExport);
}

TEST(Precheck, InvisibleContainersAndUnexportableInstancesCountForNothing) {
    HostedDrawing drawing(R"({"pelmoraDrawing": 1, "symbols": [{"name": "S", "kind": 3}], "layers": [
        {"name": "L", "objects": [
          {"type": "group", "visible": false, "members": [)" +
                          polygon(1) + R"(]},
          )" + converted(15, 2, R"(, "symbol": "S")") +
                          R"(]},
        {"name": "Off", "visible": false, "objects": [)" +
                          polygon(3) + R"(]}]})");
    for (std::int32_t mode = 0; mode <= 3; ++mode) {
        EXPECT_EQ(precheckFailure(mode).index, kMsgNothingToExport) << "mode " << mode;
    }
}

TEST(Precheck, ReferencesCountOnlyInModeThree) {
    HostedDrawing drawing(R"({"pelmoraDrawing": 1, "activeLayer": "L", "layers": [
        {"name": "L", "objects": [{"type": "reference", "layer": "Off"}]},
        {"name": "Off", "visible": false, "objects": [)" +
                          polygon(1) + R"(]}]})");
    EXPECT_EQ(precheckFailure(kModeVisible).index, kMsgNothingToExport);
    EXPECT_EQ(precheckFailure(kModeAllLayers).index, kMsgNothingToExport);
    EXPECT_NO_THROW(checkExportable(kModeWithReferences));
    extractGeometry(*drawing.scene, kModeWithReferences);
    EXPECT_EQ(polygonTags(*drawing.scene), (std::vector<int>{1}));
}

int g_polls = 0;
int g_abortAtPoll = 0;
int countPolls(void*) {
    ++g_polls;
    return g_polls == g_abortAtPoll ? 1 : 0;
}

TEST(AbortPoll, OncePerContainerWalked) {
    HostedDrawing drawing(modesDrawing());
    PelmoraPortableHooks hooks{};
    hooks.abortRequested = &countPolls;
    HookScope installed(hooks);
    g_polls = 0;
    g_abortAtPoll = 0;
    extractGeometry(*drawing.scene, kModeAllLayers);
    // Ground, its visible group, Upper and Annex.
    EXPECT_EQ(g_polls, 4);
    EXPECT_TRUE(abortRequested() == false);
}

TEST(AbortPoll, StopsAtTheNextContainerWithoutMessage) {
    HostedDrawing drawing(modesDrawing());
    PelmoraPortableHooks hooks{};
    hooks.abortRequested = &countPolls;
    HookScope installed(hooks);
    g_polls = 0;
    g_abortAtPoll = 3;  // Ground and its group done; Upper is the next container
    try {
        extractGeometry(*drawing.scene, kModeAllLayers);
        ADD_FAILURE() << "no abort";
    } catch (const qmx_exception& e) {
        EXPECT_EQ(e.list, 0);
        EXPECT_EQ(e.index, 0);
    }
    EXPECT_EQ(g_polls, 3);
    // What Ground gave stays collected (and is freed with the container); Upper gave nothing.
    EXPECT_EQ(polygonTags(*drawing.scene), (std::vector<int>{1, 2, 3, 4, 7}));
    EXPECT_EQ(drawing.host.leakedTemporaries(), 0);
}

// A drawing of many layers: each holds a few triangles of classes picked at
// random (tagged in the order written) and now and then a reference to any
// layer; some layers are hidden. The walk of mode 3 is then done here by brute
// force: every mesh, in order of first use, with its polygons' tags in order.
struct ManyLayers {
    std::string json;
    std::vector<std::pair<std::string, std::vector<int>>> expected;
};

ManyLayers manyLayers(int layerCount, int classCount) {
    struct Item {
        int tag = -1;    // a triangle, or
        int layer = -1;  // a reference
        int cls = 0;
    };
    std::mt19937 random(22);
    std::vector<std::vector<Item>> items(static_cast<std::size_t>(layerCount));
    std::vector<bool> hidden(items.size());
    int tag = 1;
    for (std::size_t l = 0; l < items.size(); ++l) {
        hidden[l] = random() % 10 == 0;
        for (int k = 0, n = 1 + static_cast<int>(random() % 3); k < n; ++k) {
            if (random() % 8 == 0) items[l].push_back({-1, static_cast<int>(random() % items.size()), 0});
            else items[l].push_back({tag++, -1, static_cast<int>(random() % static_cast<unsigned>(classCount))});
        }
    }
    ManyLayers out;
    out.json = R"({"pelmoraDrawing": 1, "classes": [)";
    for (int c = 0; c < classCount; ++c) out.json += (c ? ",\"K" : "\"K") + std::to_string(c) + "\"";
    out.json += R"(], "layers": [)";
    for (std::size_t l = 0; l < items.size(); ++l) {
        out.json += (l ? ",{" : "{") + std::string(R"("name": "L)") + std::to_string(l) + "\"" +
                    (hidden[l] ? R"(, "visible": false)" : "") + R"(, "objects": [)";
        for (std::size_t k = 0; k < items[l].size(); ++k) {
            const Item& it = items[l][k];
            out.json += k ? "," : "";
            out.json += it.tag > 0 ? polygon(it.tag, R"(, "class": "K)" + std::to_string(it.cls) + "\"")
                                   : R"({"type": "reference", "layer": "L)" + std::to_string(it.layer) + "\"}";
        }
        out.json += "]}";
    }
    out.json += "]}";

    std::vector<bool> visited(items.size());
    std::vector<int> order;  // classes in order of first use
    std::vector<std::vector<int>> tags(static_cast<std::size_t>(classCount));
    std::function<void(std::size_t)> visit = [&](std::size_t l) {
        visited[l] = true;
        for (const Item& it : items[l]) {
            if (it.tag < 0) {
                if (!visited[static_cast<std::size_t>(it.layer)]) visit(static_cast<std::size_t>(it.layer));
                continue;
            }
            if (std::find(order.begin(), order.end(), it.cls) == order.end()) order.push_back(it.cls);
            tags[static_cast<std::size_t>(it.cls)].push_back(it.tag);
        }
    };
    for (std::size_t l = 0; l < items.size(); ++l)
        if (!hidden[l] && !visited[l]) visit(l);
    for (int c : order) out.expected.emplace_back("K" + std::to_string(c), tags[static_cast<std::size_t>(c)]);
    return out;
}

TEST(GeometryPassAtScale, ManyLayersAndClassesGiveTheMeshesOfAPlainWalk) {
    const ManyLayers drawingText = manyLayers(3000, 700);
    ASSERT_GT(drawingText.expected.size(), 600u);  // nearly every class is used
    HostedDrawing drawing(drawingText.json);
    extractGeometry(*drawing.scene, kModeWithReferences);
    std::vector<std::pair<std::string, std::vector<int>>> collected;
    for (const auto& mesh : drawing.scene->meshes) {
        std::vector<int> tags;
        const auto& list = mesh->indexList();
        for (std::size_t at = 0; at < list.size(); at += static_cast<std::size_t>(list[at]) + 2)
            tags.push_back(static_cast<int>(std::floor(mesh->vertices().at(list[at + 1]).x / 10.0f)));
        collected.emplace_back(collect_test::classNameOf(mesh->classIndex()), tags);
    }
    EXPECT_EQ(collected, drawingText.expected);
}

// Runs `work` on a thread with a stack of 1 MiB, the default on the host's
// platform, where the test can choose the size.
void onHostSizedStack(void (*work)(void*), void* argument) {
#if defined(__linux__)
    struct Call {
        void (*work)(void*);
        void* argument;
    } call{work, argument};
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, std::size_t{1} << 20);
    pthread_t thread;
    auto body = [](void* c) -> void* {
        static_cast<Call*>(c)->work(static_cast<Call*>(c)->argument);
        return nullptr;
    };
    ASSERT_EQ(pthread_create(&thread, &attributes, body, &call), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attributes);
#else
    work(argument);
#endif
}

TEST(GeometryPassAtScale, AChainOfTwentyThousandReferencesIsWalkedWithoutDeepening) {
    // Each layer refers to the next before its own triangle: the walk goes down
    // the whole chain first and meets the triangles on the way back.
    constexpr int kLayers = 20000;
    std::string json = R"({"pelmoraDrawing": 1, "layers": [)";
    for (int l = 0; l < kLayers; ++l) {
        json += (l ? "," : "") + std::string(R"({"name": "L)") + std::to_string(l) + R"(", "elevation": )" +
                std::to_string(1000 * (l % 5)) + R"(, "objects": [)";
        if (l + 1 < kLayers) json += R"({"type": "reference", "layer": "L)" + std::to_string(l + 1) + "\"},";
        json += polygon(l) + "]}";
    }
    json += "]}";
    HostedDrawing drawing(json);
    struct Run {
        SceneContainer* scene;
        bool exportable = false;
    } run{drawing.scene.get()};
    onHostSizedStack(
        [](void* r) {
            auto* run = static_cast<Run*>(r);
            try {
                checkExportable(kModeWithReferences);
                run->exportable = true;
                extractGeometry(*run->scene, kModeWithReferences);
            } catch (const qmx_exception&) {
                run->exportable = false;  // no exception may end the thread
            }
        },
        &run);
    EXPECT_TRUE(run.exportable);
    ASSERT_EQ(drawing.scene->meshes.size(), 1u);
    const MeshSource& mesh = *drawing.scene->meshes[0];
    ASSERT_EQ(mesh.polygonCount(), kLayers);
    // Last layer first; each triangle at its own layer's elevation, restored on the way back.
    for (int i = 0; i < kLayers; ++i) {
        const Vec3f first = mesh.vertices().at(3 * i);
        const int layer = kLayers - 1 - i;
        ASSERT_EQ(static_cast<int>(std::floor(first.x / 10.0f)), layer) << i;
        ASSERT_NEAR(first.y, static_cast<float>(layer % 5), 1e-6) << i;
    }
}

TEST(VisitedListSet, EachHandleOnceWhateverTheOrder) {
    VisitedList list;
    std::vector<int> containers(5000);
    // Every handle twice, the second round backwards: only the first add of each is new.
    for (std::size_t i = 0; i < containers.size(); ++i) EXPECT_TRUE(list.add(&containers[i]));
    for (std::size_t i = containers.size(); i-- > 0;) EXPECT_FALSE(list.add(&containers[i]));
    EXPECT_EQ(list.size(), containers.size());
    for (int& c : containers) EXPECT_TRUE(list.contains(&c));
    int other = 0;
    EXPECT_FALSE(list.contains(&other));
    EXPECT_FALSE(list.contains(nullptr));
}

}  // namespace
}  // namespace pelmora
