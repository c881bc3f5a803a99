// The object services of the emulated host, asked through the plug-in's own
// service wrappers.
#include <gtest/gtest.h>

#include <cstring>

#include "plugin/host/services.h"
#include "tests/hostsim/host/host_fixture.h"

namespace pelmora::hostsim {
namespace {

using testing::HostRun;
using testing::nameText;

const char* kObjects = R"({
  "pelmoraDrawing": 1, "classes": ["None", "Walls", "Glass"],
  "layers": [
    {"name": "Ground", "objects": [
      {"type": "polygon", "class": "Walls", "name": "wall", "selected": true,
       "points": [[0,0,0], [1000,0,0], [1000,0,2500], [0,0,2500]]},
      {"type": "polygon", "visible": false, "closed": false, "vertexData": false, "points": [[1,2,3]]},
      {"type": "group", "members": [{"type": 25, "points": [[5,6,7], [8,9,10], [11,12,13]]}, {"type": "end"}, {"type": 81}]},
      {"type": "instance", "symbol": "Chair", "class": "Glass", "polygons": [{"points": [[0,0,0], [1,0,0], [1,1,0]]}]},
      {"type": "reference", "layer": "Upper"},
      {"type": "reference"},
      {"type": 24, "class": "Walls", "polygons": [
         {"points": [[0,0,0], [1,0,0], [1,1,0]], "class": "Glass"},
         {"points": [[0,0,1], [1,0,1], [1,1,1], [0,1,1]], "vertexData": false},
         {"members": [{"points": [[7,7,7], [8,8,8], [9,9,9]]}]}]},
      {"type": 40},
      {"type": "light", "name": "Sun", "properties": {"50": true, "51": 1.5, "52": [1, 0.5, 0.25], "55": 2}}
    ]},
    {"name": "Upper", "visible": false}
  ],
  "symbols": [{"name": "Chair", "kind": 2}]
})";

class HostObjects : public ::testing::Test {
protected:
    HostRun run{kObjects};
    HostHandle object(int index) { return run.host.objectHandle("Ground", {index}); }
    void TearDown() override { EXPECT_TRUE(run.host.faults().empty()) << run.host.faults().front(); }
};

TEST_F(HostObjects, MembersComeInDocumentOrder) {
    HostHandle layer = run.host.layerHandle("Ground");
    std::vector<std::int16_t> types;
    for (HostHandle h = host::firstMember(layer); h != nullptr; h = host::nextObject(h)) {
        EXPECT_EQ(h, object(static_cast<int>(types.size())));
        types.push_back(host::objectType(h));
    }
    EXPECT_EQ(types, (std::vector<std::int16_t>{25, 25, 11, 15, 29, 29, 24, 40, 81}));

    std::vector<std::int16_t> groupTypes;
    for (HostHandle h = host::firstMember(object(2)); h != nullptr; h = host::nextObject(h))
        groupTypes.push_back(host::objectType(h));
    EXPECT_EQ(groupTypes, (std::vector<std::int16_t>{25, 0, 81}));
    EXPECT_EQ(host::firstMember(object(0)), nullptr);
}

TEST_F(HostObjects, VisibilitySelectionAndClass) {
    EXPECT_TRUE(host::isVisible(object(0)));
    EXPECT_FALSE(host::isVisible(object(1)));
    EXPECT_TRUE(host::isSelected(object(0)));
    EXPECT_FALSE(host::isSelected(object(1)));
    EXPECT_EQ(host::objectClass(object(0)), 2);  // Walls: position 1, index 2
    EXPECT_EQ(host::objectClass(object(1)), 1);  // the first class
    EXPECT_EQ(host::objectClass(object(3)), 3);
    EXPECT_TRUE(host::isVisible(run.host.layerHandle("Ground")));
    EXPECT_FALSE(host::isVisible(run.host.layerHandle("Upper")));
}

TEST_F(HostObjects, PolygonsReadVertexByVertex) {
    HostHandle wall = object(0);
    EXPECT_NE(host::polyVertexData(wall), 0);
    EXPECT_TRUE(host::isClosedPoly(wall));
    ASSERT_EQ(host::vertexCount(wall), 4);
    HostPoint p{};
    host::getVertex(wall, 3, &p);
    EXPECT_EQ(p.x, 1000.0);
    EXPECT_EQ(p.y, 0.0);
    EXPECT_EQ(p.z, 2500.0);
    host::getVertex(wall, 1, &p);
    EXPECT_EQ(p.x, 0.0);

    HostHandle open = object(1);
    EXPECT_EQ(host::polyVertexData(open), 0);
    EXPECT_FALSE(host::isClosedPoly(open));
    EXPECT_EQ(host::vertexCount(open), 1);

    // Not polygons: no vertex list at all.
    EXPECT_EQ(host::polyVertexData(object(2)), 0);
    EXPECT_EQ(host::vertexCount(object(8)), 0);
}

TEST_F(HostObjects, NamesAreLengthPrefixed) {
    std::uint8_t name[256];
    std::memset(name, 0xEE, sizeof name);
    host::getObjectName(object(0), name);
    EXPECT_EQ(name[0], 4);
    EXPECT_EQ(nameText(name), "wall");
    host::getObjectName(object(8), name);
    EXPECT_EQ(nameText(name), "Sun");
    host::getObjectName(object(1), name);
    EXPECT_EQ(name[0], 0);
    host::getObjectName(run.host.layerHandle("Upper"), name);
    EXPECT_EQ(nameText(name), "Upper");
}

TEST(HostObjectNames, LongNamesAreCutTo255Bytes) {
    std::string longName(300, 'x');
    longName[254] = 'y';
    HostRun run(R"({"pelmoraDrawing": 1, "classes": [")" + longName + R"("], "layers": [{"name": "A", "objects": [
        {"type": 81, "name": ")" +
                longName + R"("}]}]})");
    std::uint8_t name[256];
    host::getObjectName(run.host.objectHandle("A", {0}), name);
    EXPECT_EQ(name[0], 255);
    EXPECT_EQ(nameText(name), longName.substr(0, 255));
    host::className(1, name);
    EXPECT_EQ(name[0], 255);
    EXPECT_EQ(name[255], 'y');  // the 255th byte is the last one given
    EXPECT_EQ(nameText(name), longName.substr(0, 255));
}

TEST_F(HostObjects, ClassesByIndexAndByName) {
    std::uint8_t name[256];
    host::className(2, name);
    EXPECT_EQ(nameText(name), "Walls");
    host::className(1, name);
    EXPECT_EQ(nameText(name), "None");
    host::className(0, name);
    EXPECT_EQ(name[0], 0);
    host::className(4, name);
    EXPECT_EQ(name[0], 0);

    const std::uint8_t glass[] = {5, 'G', 'l', 'a', 's', 's'};
    EXPECT_EQ(host::classIndexByName(glass), 3);
    const std::uint8_t lower[] = {5, 'g', 'l', 'a', 's', 's'};
    EXPECT_LE(host::classIndexByName(lower), 0);
    const std::uint8_t prefix[] = {3, 'G', 'l', 'a', 's', 's'};
    EXPECT_LE(host::classIndexByName(prefix), 0);
    const std::uint8_t empty[] = {0};
    EXPECT_LE(host::classIndexByName(empty), 0);
}

TEST_F(HostObjects, DefinitionsOfInstancesAndReferences) {
    HostHandle chair = host::definitionOf(object(3));
    EXPECT_EQ(chair, run.host.symbolHandle("Chair"));
    EXPECT_EQ(host::definitionKind(chair), 2);
    EXPECT_EQ(host::definitionOf(object(4)), run.host.layerHandle("Upper"));
    EXPECT_EQ(host::definitionOf(object(5)), nullptr);
    EXPECT_EQ(host::definitionOf(object(0)), nullptr);
    EXPECT_EQ(host::definitionKind(run.host.layerHandle("Upper")), -1);
    EXPECT_EQ(host::definitionKind(nullptr), -1);
}

TEST_F(HostObjects, OnePolygonConvertsToOneTemporaryPolygon) {
    std::int32_t token = host::objectToken(object(3));
    EXPECT_NE(token, 0);
    HostHandle temp = host::makeTemporaryObject(token);
    ASSERT_NE(temp, nullptr);
    EXPECT_EQ(run.host.liveTemporaries(), 1);
    EXPECT_EQ(host::objectType(temp), 25);
    EXPECT_EQ(host::objectClass(temp), 3);  // the instance's class
    EXPECT_EQ(host::vertexCount(temp), 3);
    EXPECT_EQ(host::nextObject(temp), nullptr);
    HostPoint p{};
    host::getVertex(temp, 2, &p);
    EXPECT_EQ(p.x, 1.0);
    host::deleteObject(temp);
    EXPECT_EQ(run.host.leakedTemporaries(), 0);
}

TEST_F(HostObjects, SeveralEntriesConvertToAGroupInOrder) {
    HostHandle temp = host::makeTemporaryObject(host::objectToken(object(6)));
    ASSERT_NE(temp, nullptr);
    EXPECT_EQ(host::objectType(temp), 11);
    HostHandle first = host::firstMember(temp);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(host::objectType(first), 25);
    EXPECT_EQ(host::objectClass(first), 3);  // its own class
    EXPECT_NE(host::polyVertexData(first), 0);
    HostHandle second = host::nextObject(first);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(host::objectClass(second), 2);  // the converted object's class
    EXPECT_EQ(host::vertexCount(second), 4);
    EXPECT_EQ(host::polyVertexData(second), 0);
    HostHandle third = host::nextObject(second);
    ASSERT_NE(third, nullptr);
    EXPECT_EQ(host::objectType(third), 11);
    HostHandle nested = host::firstMember(third);
    ASSERT_NE(nested, nullptr);
    HostPoint p{};
    host::getVertex(nested, 3, &p);
    EXPECT_EQ(p.z, 9.0);
    EXPECT_EQ(host::nextObject(third), nullptr);
    host::deleteObject(temp);
    EXPECT_EQ(run.host.liveTemporaries(), 0);
}

TEST_F(HostObjects, ObjectsWithoutPolygonsGiveNoTemporaryObject) {
    EXPECT_EQ(host::makeTemporaryObject(host::objectToken(object(7))), nullptr);
    EXPECT_EQ(host::makeTemporaryObject(host::objectToken(object(0))), nullptr);
    EXPECT_EQ(host::makeTemporaryObject(0), nullptr);
    EXPECT_EQ(run.host.liveTemporaries(), 0);
}

TEST(HostObjectTemporaries, AnEmptyListGivesAnEmptyGroup) {
    HostRun run(R"({"pelmoraDrawing": 1, "layers": [{"name": "A", "objects": [{"type": 71, "polygons": []}]}]})");
    HostHandle temp = host::makeTemporaryObject(host::objectToken(run.host.objectHandle("A", {0})));
    ASSERT_NE(temp, nullptr);
    EXPECT_EQ(host::objectType(temp), 11);
    EXPECT_EQ(host::firstMember(temp), nullptr);
    host::deleteObject(temp);
    EXPECT_TRUE(run.host.faults().empty());
}

TEST_F(HostObjects, LightPropertiesCarryTheirTags) {
    HostHandle light = object(8);
    HostPropertyValue v{};
    ASSERT_TRUE(host::getObjectProperty(light, 50, &v));
    EXPECT_EQ(v.tag, kPropertyBool);
    EXPECT_EQ(v.payload[0], 1);

    ASSERT_TRUE(host::getObjectProperty(light, 51, &v));
    EXPECT_EQ(v.tag, kPropertyDouble);
    double d = 0;
    std::memcpy(&d, v.payload, sizeof d);
    EXPECT_EQ(d, 1.5);

    ASSERT_TRUE(host::getObjectProperty(light, 52, &v));
    EXPECT_EQ(v.tag, kPropertyPoint);
    double xyz[3] = {};
    std::memcpy(xyz, v.payload, sizeof xyz);
    EXPECT_EQ(xyz[0], 1.0);
    EXPECT_EQ(xyz[1], 0.5);
    EXPECT_EQ(xyz[2], 0.25);

    ASSERT_TRUE(host::getObjectProperty(light, 55, &v));
    EXPECT_EQ(v.tag, kPropertyInt16);
    std::int16_t i = 0;
    std::memcpy(&i, v.payload, sizeof i);
    EXPECT_EQ(i, 2);

    HostPropertyValue untouched{};
    untouched.tag = 77;
    EXPECT_FALSE(host::getObjectProperty(light, 54, &untouched));
    EXPECT_EQ(untouched.tag, 77);
    EXPECT_FALSE(host::getObjectProperty(object(0), 50, &untouched));
}

}  // namespace
}  // namespace pelmora::hostsim
