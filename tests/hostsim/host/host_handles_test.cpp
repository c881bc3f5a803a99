// Handles are checked by where they point: anything but the start of a node
// the host gave is never given, and a disposed temporary object's nodes stay
// known as disposed for a long while; once forgotten, a use is still a fault,
// without the host reading memory it no longer holds.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "plugin/host/services.h"
#include "tests/hostsim/host/host_fixture.h"

namespace pelmora::hostsim {
namespace {

using testing::HostRun;

bool lastFaultSays(const EmulatedHost& host, const std::string& words) {
    return !host.faults().empty() && host.faults().back().find(words) != std::string::npos;
}

// A drawing of `small` objects of two triangles and one object of `polygons` triangles.
Drawing drawingWith(int small, int polygons) {
    Drawing d;
    Layer layer;
    layer.name = "A";
    for (int i = 0; i < small; ++i) {
        DrawingObject o;
        o.type = 24;
        o.className = "None";
        o.polygons = std::vector<GeometryEntry>(2);
        for (GeometryEntry& e : *o.polygons) e.points = {{0, 0, 0}, {1, 0, 0}, {double(i), 1, 0}};
        layer.objects.push_back(std::move(o));
    }
    DrawingObject large;
    large.type = 24;
    large.className = "None";
    large.polygons = std::vector<GeometryEntry>(static_cast<std::size_t>(polygons));
    for (GeometryEntry& e : *large.polygons) e.points = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}};
    layer.objects.push_back(std::move(large));
    d.layers.push_back(std::move(layer));
    d.activeLayer = "A";
    return d;
}

TEST(HostHandles, OnlyTheStartOfAGivenNodeIsAHandle) {
    HostRun run(drawingWith(3, 2));
    HostHandle object = run.host.objectHandle("A", {1});
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(host::objectType(object), 24);
    const std::size_t before = run.host.faults().size();
    char* bytes = static_cast<char*>(object);
    for (HostHandle wrong :
         {static_cast<HostHandle>(bytes + 1), static_cast<HostHandle>(bytes - 1), static_cast<HostHandle>(bytes + 8)}) {
        EXPECT_EQ(host::objectType(wrong), 0);
        EXPECT_TRUE(lastFaultSays(run.host, "never given"));
    }
    EXPECT_EQ(run.host.faults().size(), before + 3);
    // A handle the host gave still answers after the wrong ones.
    EXPECT_EQ(host::objectType(object), 24);
}

TEST(HostHandles, TemporaryObjectsSharingBlocksAreToldApart) {
    HostRun run(drawingWith(50, 2));
    std::vector<HostHandle> made;
    for (int i = 0; i < 50; ++i)
        made.push_back(host::makeTemporaryObject(host::objectToken(run.host.objectHandle("A", {i}))));
    for (std::size_t i = 0; i < made.size(); i += 2) host::deleteObject(made[i]);
    EXPECT_TRUE(run.host.faults().empty());
    EXPECT_EQ(run.host.liveTemporaries(), 25);
    for (std::size_t i = 0; i < made.size(); ++i) {
        const std::size_t faults = run.host.faults().size();
        const std::int16_t type = host::objectType(made[i]);
        if (i % 2 == 0) {
            EXPECT_EQ(type, 0);
            EXPECT_EQ(run.host.faults().size(), faults + 1);
            EXPECT_TRUE(lastFaultSays(run.host, "after it was disposed"));
        } else {
            EXPECT_EQ(type, 11);
            EXPECT_EQ(run.host.faults().size(), faults);
            // Its polygons read as their own drawing object gave them.
            HostHandle polygon = host::firstMember(made[i]);
            HostPoint p{};
            host::getVertex(polygon, 3, &p);
            EXPECT_EQ(p.x, static_cast<double>(i));
            host::deleteObject(made[i]);
        }
    }
    EXPECT_EQ(run.host.leakedTemporaries(), 0);
}

TEST(HostHandles, NodesOfBlocksWhoseObjectsAreAllDisposedStillReadAsDisposed) {
    // 6000 temporary objects of 3 nodes each, disposed at once: several
    // shared blocks fill up and give their memory back.
    HostRun run(drawingWith(20, 2));
    std::vector<HostHandle> firstOfEach;
    for (int i = 0; i < 6000; ++i) {
        HostHandle made = host::makeTemporaryObject(host::objectToken(run.host.objectHandle("A", {i % 20})));
        HostHandle member = host::firstMember(made);
        HostPoint p{};
        host::getVertex(member, 3, &p);
        EXPECT_EQ(p.x, static_cast<double>(i % 20));
        if (i % 1000 == 0) firstOfEach.push_back(member);
        host::deleteObject(made);
    }
    EXPECT_TRUE(run.host.faults().empty());
    for (HostHandle member : firstOfEach) {
        EXPECT_EQ(host::vertexCount(member), 0);
        EXPECT_TRUE(lastFaultSays(run.host, "after it was disposed"));
        EXPECT_EQ(host::vertexCount(static_cast<char*>(member) + 8), 0);
        EXPECT_TRUE(lastFaultSays(run.host, "never given"));
    }
    EXPECT_EQ(run.host.leakedTemporaries(), 0);
}

TEST(HostHandles, DisposedNodesAreForgottenOnlyAfterAMillionOthers) {
    // One object of 150 000 polygons: each temporary object of it is 150 001 nodes.
    HostRun run(drawingWith(1, 150000));
    HostHandle large = run.host.objectHandle("A", {1});
    const std::int32_t token = host::objectToken(large);
    HostHandle first = host::makeTemporaryObject(token);
    HostHandle firstMember = host::firstMember(first);
    host::deleteObject(first);
    // Still known as disposed while fewer than about a million nodes were disposed after it.
    for (int round = 0; round < 5; ++round) host::deleteObject(host::makeTemporaryObject(token));
    EXPECT_EQ(host::objectType(firstMember), 0);
    EXPECT_TRUE(lastFaultSays(run.host, "after it was disposed"));
    // Then forgotten: a fault still, without reading memory the host gave
    // back (the sanitizers watch this); its place may hold a later disposed
    // object by now, so either message may come.
    for (int round = 0; round < 5; ++round) host::deleteObject(host::makeTemporaryObject(token));
    const std::size_t faults = run.host.faults().size();
    EXPECT_EQ(host::objectType(first), 0);
    EXPECT_EQ(host::objectType(firstMember), 0);
    EXPECT_EQ(run.host.faults().size(), faults + 2);
    // The drawing's own objects are untouched by all of it.
    EXPECT_EQ(host::objectType(large), 24);
    EXPECT_EQ(run.host.leakedTemporaries(), 0);
}

}  // namespace
}  // namespace pelmora::hostsim
