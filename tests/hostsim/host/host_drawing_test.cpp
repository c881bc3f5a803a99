// The drawing services of the emulated host: the chain and its current item,
// the layers, the view, the layer elevation record, and the walk over the
// layers that calls back into the plug-in.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "plugin/host/current_callback.h"
#include "plugin/host/services.h"
#include "tests/hostsim/host/host_fixture.h"

namespace pelmora::hostsim {
namespace {

using testing::HostRun;

std::string withCurrentItem(int item) {
    return R"({"pelmoraDrawing": 1, "currentItem": )" + std::to_string(item) + R"(, "layers": [{"name": "A"}]})";
}

TEST(HostChain, ElementsInOrder) {
    HostRun run(withCurrentItem(2));
    HostHandle start = host::chainStart();
    EXPECT_EQ(start, run.host.headerHandle());
    HostHandle second = host::nextInChain(start);
    EXPECT_EQ(second, run.host.layerListHandle());
    HostHandle third = host::nextInChain(second);
    EXPECT_EQ(third, run.host.thirdElementHandle());
    EXPECT_EQ(host::nextInChain(third), nullptr);
    EXPECT_EQ(host::nextInChain(run.host.outsideItemHandle()), nullptr);
    EXPECT_TRUE(run.host.faults().empty());
}

TEST(HostChain, CurrentItemFollowsTheDocument) {
    for (int item = 0; item <= 3; ++item) {
        HostRun run(withCurrentItem(item));
        const HostHandle expected[] = {run.host.outsideItemHandle(), run.host.headerHandle(),
                                       run.host.layerListHandle(), run.host.thirdElementHandle()};
        EXPECT_EQ(host::currentItem(), expected[item]) << item;
    }
}

TEST(HostChain, OutsideItemIsNotInTheChain) {
    HostRun run(withCurrentItem(0));
    HostHandle current = host::currentItem();
    for (HostHandle h = host::chainStart(); h != nullptr; h = host::nextInChain(h)) EXPECT_NE(h, current);
}

TEST(HostChain, LayersAreTheMembersOfTheLayerList) {
    HostRun run(
        R"({"pelmoraDrawing": 1, "layers": [{"name": "A"}, {"name": "B"}, {"name": "C"}], "activeLayer": "B"})");
    HostHandle list = run.host.layerListHandle();
    std::vector<HostHandle> layers;
    for (HostHandle h = host::firstMember(list); h != nullptr; h = host::nextObject(h)) layers.push_back(h);
    EXPECT_EQ(layers, (std::vector<HostHandle>{run.host.layerHandle("A"), run.host.layerHandle("B"),
                                               run.host.layerHandle("C")}));
    EXPECT_EQ(host::drawingRoot(), run.host.layerHandle("B"));
    EXPECT_EQ(host::firstMember(run.host.headerHandle()), nullptr);
    EXPECT_TRUE(run.host.faults().empty());
}

TEST(HostChain, DrawingRootDefaultsToTheFirstLayerAndIsNullWithoutLayers) {
    HostRun withLayers(R"({"pelmoraDrawing": 1, "layers": [{"name": "A"}, {"name": "B"}]})");
    EXPECT_EQ(host::drawingRoot(), withLayers.host.layerHandle("A"));
}

TEST(HostChain, NoLayersNoRoot) {
    HostRun run(R"({"pelmoraDrawing": 1})");
    EXPECT_EQ(host::drawingRoot(), nullptr);
    EXPECT_EQ(host::firstMember(run.host.layerListHandle()), nullptr);
}

TEST(HostView, PerspectiveViewWithPlacementAndData) {
    HostRun run(R"({"pelmoraDrawing": 1, "view": {"perspective": true, "rotation": [[1,2,3],[4,5,6],[7,8,9]],
        "origin": [10, 11, 12], "distance": 5000, "focal": 1000, "box": [-3, -2, 3, 2]}})");
    HostHandle view = host::chainStart();
    EXPECT_EQ(host::viewKind(view), 1);
    double twelve[12] = {};
    host::getObjectPlacement(view, twelve);
    for (int i = 0; i < 12; ++i) EXPECT_EQ(twelve[i], static_cast<double>(i + 1)) << i;
    double d = 0, f = 0;
    double box[4] = {};
    host::getViewData(view, &d, &f, box);
    EXPECT_EQ(d, 5000.0);
    EXPECT_EQ(f, 1000.0);
    EXPECT_EQ(box[0], -3.0);
    EXPECT_EQ(box[1], -2.0);
    EXPECT_EQ(box[2], 3.0);
    EXPECT_EQ(box[3], 2.0);
    EXPECT_TRUE(run.host.faults().empty());
}

TEST(HostView, DefaultsOfAView) {
    HostRun run(R"({"pelmoraDrawing": 1, "view": {}})");
    double twelve[12];
    host::getObjectPlacement(host::chainStart(), twelve);
    const double identity[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
    for (int i = 0; i < 12; ++i) EXPECT_EQ(twelve[i], identity[i]) << i;
    double d = -1, f = -1, box[4];
    host::getViewData(host::chainStart(), &d, &f, box);
    EXPECT_EQ(d, 0.0);
    EXPECT_EQ(f, 1.0);
    EXPECT_EQ(box[0], -1.0);
    EXPECT_EQ(box[3], 1.0);
}

TEST(HostView, OtherKindsOfView) {
    HostRun flat(R"({"pelmoraDrawing": 1, "view": {"perspective": false}})");
    EXPECT_NE(host::viewKind(host::chainStart()), 1);
}

TEST(HostView, NoViewLeavesOutputsAlone) {
    HostRun run(R"({"pelmoraDrawing": 1})");
    EXPECT_NE(host::viewKind(host::chainStart()), 1);
    double twelve[12];
    std::fill(std::begin(twelve), std::end(twelve), 42.0);
    host::getObjectPlacement(host::chainStart(), twelve);
    EXPECT_EQ(twelve[0], 42.0);
    EXPECT_TRUE(run.host.faults().empty());
}

// What the plug-in reads for the elevation of a layer on hosts below 15: the
// double at byte 504 of the record the handle points to.
double elevationBehind(HostHandle layer) {
    const std::uint8_t* record = *static_cast<std::uint8_t* const*>(layer);
    double value = 0;
    std::memcpy(&value, record + 504, sizeof value);
    return value;
}

TEST(HostLayerElevation, KeptInTheLayerRecordBelowVersion15) {
    HostRun run(R"({"pelmoraDrawing": 1, "hostVersion": 13,
        "layers": [{"name": "A", "elevation": 2750.5}, {"name": "B"}]})");
    EXPECT_EQ(host::hostVersion(0), 13);
    EXPECT_EQ(elevationBehind(run.host.layerHandle("A")), 2750.5);
    EXPECT_EQ(elevationBehind(run.host.layerHandle("B")), 0.0);
    EXPECT_EQ(elevationBehind(host::drawingRoot()), 2750.5);
}

TEST(HostLayerElevation, Version14StillKeepsIt) {
    HostRun run(R"({"pelmoraDrawing": 1, "hostVersion": 14, "layers": [{"name": "A", "elevation": -3}]})");
    EXPECT_EQ(elevationBehind(run.host.layerHandle("A")), -3.0);
}

TEST(HostLayerElevation, NotKeptFromVersion15) {
    HostRun run(R"({"pelmoraDrawing": 1, "hostVersion": 15, "layers": [{"name": "A", "elevation": 2750.5}]})");
    EXPECT_EQ(host::hostVersion(0), 15);
    // The handle still leads to the host's bytes, but no elevation lives there.
    const std::uint8_t* record = *static_cast<std::uint8_t* const*>(run.host.layerHandle("A"));
    EXPECT_NE(record, nullptr);
    EXPECT_EQ(run.host.drawing().layers[0].elevation, 2750.5);
}

// ForEachObject: the host calls back into the plug-in for every layer.
struct WalkLog {
    std::vector<HostHandle> reported;
    std::vector<HostCallback> callbacks;
    std::vector<std::int16_t> firstMemberTypes;
};

HostHandle logAndGoOn(HostHandle object, HostCallback callback, void* context) {
    auto* log = static_cast<WalkLog*>(context);
    log->reported.push_back(object);
    log->callbacks.push_back(callback);
    // Re-entrant use of the host while its walk runs.
    HostHandle first = host::firstMember(object);
    log->firstMemberTypes.push_back(first == nullptr ? -1 : host::objectType(first));
    HostHandle next = reinterpret_cast<HostHandle (*)(HostHandle)>(callback(host::kNextObject))(object);
    // A callback that changes the current callback on its way out is put
    // right by the service wrapper once the walk is over.
    if (next == nullptr) host::setCurrentCallback(nullptr);
    return next;
}

TEST(HostForEachObject, ReportsTheLayersAndCallsBackReentrantly) {
    HostRun run(R"({"pelmoraDrawing": 1, "layers": [
        {"name": "A", "objects": [{"type": 25}]}, {"name": "B"}, {"name": "C", "objects": [{"type": 81}]}]})");
    const HostCallback hostCallback = host::currentCallback();
    WalkLog log;
    host::forEachObject(&logAndGoOn, &log);
    EXPECT_EQ(log.reported, (std::vector<HostHandle>{run.host.layerHandle("A"), run.host.layerHandle("B"),
                                                     run.host.layerHandle("C")}));
    for (HostCallback c : log.callbacks) EXPECT_EQ(c, hostCallback);
    EXPECT_EQ(log.firstMemberTypes, (std::vector<std::int16_t>{25, -1, 81}));
    EXPECT_EQ(host::currentCallback(), hostCallback);
    EXPECT_EQ(run.host.callCount(host::kForEachObject), 1);
    EXPECT_TRUE(run.host.faults().empty());
}

HostHandle stopAtOnce(HostHandle, HostCallback, void* context) {
    ++*static_cast<int*>(context);
    return nullptr;
}

TEST(HostForEachObject, EndsWhenTheCallbackGivesNull) {
    HostRun run(R"({"pelmoraDrawing": 1, "layers": [{"name": "A"}, {"name": "B"}]})");
    int calls = 0;
    host::forEachObject(&stopAtOnce, &calls);
    EXPECT_EQ(calls, 1);
}

TEST(HostForEachObject, NoLayersNoCalls) {
    HostRun run(R"({"pelmoraDrawing": 1})");
    int calls = 0;
    host::forEachObject(&stopAtOnce, &calls);
    EXPECT_EQ(calls, 0);
}

HostHandle neverAdvance(HostHandle object, HostCallback, void*) { return object; }

TEST(HostForEachObject, ACallbackThatNeverEndsIsAFault) {
    HostRun run(R"({"pelmoraDrawing": 1, "layers": [{"name": "A"}]})");
    host::forEachObject(&neverAdvance, nullptr);
    ASSERT_EQ(run.host.faults().size(), 1u);
}

}  // namespace
}  // namespace pelmora::hostsim
