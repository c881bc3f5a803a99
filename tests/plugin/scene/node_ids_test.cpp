// Node ids made unique over many mixes of lights, table ids and the counter:
// every id the file holds is held once, a node whose rule id no other node
// shares keeps it, and a moved node takes an id from 2000 on (a light an even
// pair).
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>

#include "plugin/scene/node_ids.h"

namespace pelmora {
namespace {

TEST(NodeIds, EveryMixOfRuleIdsGivesUniqueIdsAndKeepsTheUnsharedOnes) {
    std::mt19937 random(27);
    const std::vector<std::int32_t> lightPool = {-1, 0, 998, 999, 1000, 1001, 1002, 1003, 1004, 1005, 1998, 2000, 2001};
    const std::vector<std::int32_t> tablePool = {0, 0, 0, -5, 1000, 1001, 1002, 1003, 1004, 1005, 1999, 2000, 2003};
    for (int round = 0; round < 300; ++round) {
        NodeIdRules rules;
        rules.camera = random() % 2 == 0;
        rules.lightIds.resize(random() % 12);
        rules.meshIds.resize(random() % 12);
        for (auto& id : rules.lightIds) id = lightPool[random() % lightPool.size()];
        for (std::size_t i = 0; i < rules.lightIds.size(); ++i) rules.lightTargets.push_back(random() % 3 != 0);
        for (auto& id : rules.meshIds) id = tablePool[random() % tablePool.size()];
        const NodeIdMoves moves = uniqueNodeIds(rules);

        // The ids the rules give the nodes, and how many nodes hold each.
        std::vector<std::uint32_t> ruled{1000};
        if (rules.camera) ruled.insert(ruled.end(), {1002, 1001});
        for (std::size_t i = 0; i < rules.lightIds.size(); ++i) {
            if (rules.lightTargets[i]) ruled.push_back(std::uint32_t(rules.lightIds[i]));
            ruled.push_back(std::uint32_t(rules.lightIds[i]) + 1);
        }
        std::uint32_t counter = rules.firstCounterId;
        for (std::int32_t t : rules.meshIds) ruled.push_back(t > 0 ? std::uint32_t(t) : counter++);
        std::map<std::uint32_t, int> holders;
        for (std::uint32_t id : ruled) ++holders[id];

        std::vector<std::uint32_t> written{1000};
        if (rules.camera) written.insert(written.end(), {1002, 1001});
        std::size_t at = written.size(), moved = 0;
        for (std::size_t i = 0; i < rules.lightIds.size(); ++i) {
            const bool target = rules.lightTargets[i];
            const std::uint32_t l =
                moves.lights[i] ? std::uint32_t(*moves.lights[i]) : std::uint32_t(rules.lightIds[i]);
            if (target) written.push_back(l);
            written.push_back(l + 1);
            if (moves.lights[i]) {
                ++moved;
                EXPECT_GE(*moves.lights[i], 2000);
                EXPECT_EQ(*moves.lights[i] % 2, 0);
            } else {
                EXPECT_GT(rules.lightIds[i], 0) << "a light without an id keeps none";
            }
            const bool shares = (target && holders[ruled[at]] != 1) || holders[ruled[at + (target ? 1 : 0)]] != 1;
            if (rules.lightIds[i] > 0 && !shares) {
                EXPECT_FALSE(moves.lights[i]) << "round " << round << ": light " << i << " shares no id";
            }
            at += target ? 2 : 1;
        }
        for (std::size_t m = 0; m < rules.meshIds.size(); ++m, ++at) {
            written.push_back(moves.meshes[m] ? *moves.meshes[m] : ruled[at]);
            if (moves.meshes[m]) {
                ++moved;
                EXPECT_GE(*moves.meshes[m], 2000u);
            }
            if (holders[ruled[at]] == 1) { EXPECT_FALSE(moves.meshes[m]) << "round " << round << ": mesh " << m; }
        }
        EXPECT_EQ(std::set<std::uint32_t>(written.begin(), written.end()).size(), written.size()) << "round " << round;
        EXPECT_EQ(moves.count, moved);
    }
}

}  // namespace
}  // namespace pelmora
