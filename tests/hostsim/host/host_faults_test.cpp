// The emulated host as a test oracle: handles it never gave, disposed
// temporaries and wrong kinds are faults; services can be switched off one at
// a time; the lookup answers for every service while a host is active.
#include <gtest/gtest.h>

#include "plugin/host/current_callback.h"
#include "plugin/host/services.h"
#include "tests/hostsim/host/host_fixture.h"

namespace pelmora::hostsim {
namespace {

using testing::HostRun;

const char* kDrawing = R"({"pelmoraDrawing": 1, "layers": [{"name": "A", "objects": [
    {"type": 24, "polygons": [{"points": [[0,0,0],[1,0,0],[1,1,0]]}, {"points": [[0,0,1],[1,0,1],[1,1,1]]}]},
    {"type": 25, "points": [[0,0,0],[1,0,0],[1,1,0]]}]}]})";

TEST(HostLookup, EveryServiceHasAnAddress) {
    HostRun run(kDrawing);
    HostCallback lookup = run.host.callback();
    for (std::int32_t service : host::kAllServices) {
        EXPECT_NE(lookup(service), nullptr) << service;
        EXPECT_TRUE(run.host.serviceEnabled(service)) << service;
    }
    EXPECT_EQ(lookup(2), nullptr);
    EXPECT_EQ(lookup(-1), nullptr);
    EXPECT_EQ(lookup(100000), nullptr);
}

TEST(HostLookup, NoActiveHostNoServices) {
    HostCallback lookup = nullptr;
    {
        EmulatedHost host(parseDrawing(kDrawing));
        lookup = host.callback();
        EXPECT_EQ(EmulatedHost::active(), &host);
    }
    EXPECT_EQ(EmulatedHost::active(), nullptr);
    EXPECT_EQ(lookup(host::kObjectType), nullptr);
}

TEST(HostLookup, CallsAreCounted) {
    HostRun run(kDrawing);
    HostHandle polygon = run.host.objectHandle("A", {1});
    for (int i = 1; i <= 3; ++i) {
        HostPoint p;
        host::getVertex(polygon, static_cast<std::int16_t>(i), &p);
    }
    EXPECT_EQ(run.host.callCount(host::kGetVertex), 3);
    EXPECT_EQ(run.host.callCount(host::kVertexCount), 0);
}

TEST(HostDisabledServices, TheWrappersGiveTheirFallbacks) {
    HostRun run(R"({"pelmoraDrawing": 1, "layers": [{"name": "A", "objects": [{"type": 25, "points": [[1,2,3]]}]}],
                    "view": {}})");
    HostHandle polygon = run.host.objectHandle("A", {0});
    for (std::int32_t service : host::kAllServices) run.host.disableService(service);
    for (std::int32_t service : host::kAllServices) EXPECT_FALSE(run.host.serviceEnabled(service));
    EXPECT_EQ(host::objectType(polygon), 0);
    EXPECT_FALSE(host::isVisible(polygon));
    EXPECT_EQ(host::definitionKind(polygon), -1);
    EXPECT_EQ(host::viewKind(run.host.headerHandle()), -1);
    EXPECT_EQ(host::classIndexByName(reinterpret_cast<const std::uint8_t*>("\1A")), -1);
    EXPECT_EQ(host::chainStart(), nullptr);
    EXPECT_EQ(host::toDocumentLength(12.5), 12.5);
    char path[host::kHostPathLimit];
    EXPECT_EQ(host::getFolderPath(1, path, 0), host::kFolderPathMissing);
    EXPECT_FALSE(host::canRunCommand());
    EXPECT_EQ(host::createDialog("t", "a", "b"), 0);
    HostPoint p{7, 7, 7};
    host::getVertex(polygon, 1, &p);
    EXPECT_EQ(p.x, 7.0);
    for (std::int32_t service : host::kAllServices) EXPECT_EQ(run.host.callCount(service), 0) << service;
}

TEST(HostDisabledServices, OneAtATime) {
    HostRun run(kDrawing);
    HostHandle polygon = run.host.objectHandle("A", {1});
    run.host.disableService(host::kIsVisible);
    EXPECT_FALSE(host::isVisible(polygon));
    EXPECT_EQ(host::objectType(polygon), 25);
    run.host.enableService(host::kIsVisible);
    EXPECT_TRUE(host::isVisible(polygon));
}

TEST(HostFaults, HandlesTheHostNeverGave) {
    HostRun run(kDrawing);
    int notAHandle = 0;
    EXPECT_EQ(host::objectType(&notAHandle), 0);
    ASSERT_EQ(run.host.faults().size(), 1u);
    EXPECT_NE(run.host.faults()[0].find("never given"), std::string::npos);
}

TEST(HostFaults, TemporariesAreDisposedExactlyOnce) {
    HostRun run(kDrawing);
    HostHandle temp = host::makeTemporaryObject(host::objectToken(run.host.objectHandle("A", {0})));
    ASSERT_NE(temp, nullptr);
    HostHandle member = host::firstMember(temp);
    ASSERT_NE(member, nullptr);
    host::deleteObject(member);  // a member is not the temporary object
    EXPECT_EQ(run.host.faults().size(), 1u);
    host::deleteObject(temp);
    EXPECT_EQ(run.host.faults().size(), 1u);
    host::deleteObject(temp);  // second dispose
    EXPECT_EQ(run.host.faults().size(), 2u);
    EXPECT_EQ(host::vertexCount(member), 0);  // use of a member after its object was disposed
    EXPECT_EQ(run.host.faults().size(), 3u);
    EXPECT_EQ(run.host.liveTemporaries(), 0);
}

TEST(HostFaults, LeakedTemporariesAreCounted) {
    HostRun run(kDrawing);
    HostHandle first = host::makeTemporaryObject(host::objectToken(run.host.objectHandle("A", {0})));
    HostHandle second = host::makeTemporaryObject(host::objectToken(run.host.objectHandle("A", {0})));
    EXPECT_NE(first, second);
    EXPECT_EQ(run.host.leakedTemporaries(), 2);
    host::deleteObject(first);
    EXPECT_EQ(run.host.leakedTemporaries(), 1);
    host::deleteObject(second);
}

TEST(HostFaults, DrawingObjectsAreNotDisposed) {
    HostRun run(kDrawing);
    host::deleteObject(run.host.objectHandle("A", {1}));
    EXPECT_EQ(run.host.faults().size(), 1u);
    EXPECT_EQ(host::objectType(run.host.objectHandle("A", {1})), 25);
}

TEST(HostFaults, WrongUsesOfPolygonsAndTheChain) {
    HostRun run(kDrawing);
    HostHandle polygon = run.host.objectHandle("A", {1});
    HostPoint p{5, 5, 5};
    host::getVertex(polygon, 0, &p);
    host::getVertex(polygon, 4, &p);
    host::getVertex(run.host.objectHandle("A", {0}), 1, &p);
    EXPECT_EQ(p.x, 5.0);
    EXPECT_EQ(host::nextInChain(polygon), nullptr);
    EXPECT_EQ(host::viewKind(polygon), -1);
    EXPECT_EQ(host::makeTemporaryObject(12345), nullptr);
    EXPECT_EQ(run.host.faults().size(), 6u);
}

TEST(HostFaults, NullHandlesAnswerTheirFallbackQuietly) {
    HostRun run(kDrawing);
    EXPECT_EQ(host::objectType(nullptr), 0);
    EXPECT_FALSE(host::isVisible(nullptr));
    EXPECT_EQ(host::nextObject(nullptr), nullptr);
    EXPECT_EQ(host::definitionOf(nullptr), nullptr);
    EXPECT_TRUE(run.host.faults().empty());
    host::deleteObject(nullptr);
    EXPECT_EQ(run.host.faults().size(), 1u);
}

TEST(HostFaultsDeathTest, AbortModeStopsAtTheFirstFault) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            HostRun run(kDrawing);
            run.host.setAbortOnFault(true);
            int notAHandle = 0;
            host::objectType(&notAHandle);
        },
        "emulated host fault");
}

}  // namespace
}  // namespace pelmora::hostsim
