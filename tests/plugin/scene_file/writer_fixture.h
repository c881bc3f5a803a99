// Shared pieces of the scene writer tests: a temp file per test, a ledger of
// payloads, and the expected bytes of the header, of a node's values and of a
// motion item's values, each built from the file's rules value by value.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "plugin/scene_file/scene_writer.h"
#include "tests/plugin/scene_file/expected_bytes.h"
#include "tests/plugin/scene_file/scene_fakes.h"

namespace pelmora::scene_test {

inline constexpr std::int32_t kNodeMarker = -652984;

// The values of a node record as the fake sources fill them: everything at
// its default but id, type, name, attributes and payload.
struct NodeValues {
    std::int32_t kind = 5;
    std::uint32_t id = 0;
    std::uint32_t attrA = 0;
    std::uint32_t attrB = 0;
    std::string name;
    std::int32_t type = 0;
    std::int32_t dataFormat = 1;
    std::vector<std::uint8_t> payload;
};

struct MotionValues {
    std::int32_t kind = 2;
    std::string name;
    std::int32_t key = 0;
    std::int32_t motionFlags = 0;
    std::int32_t dataFormat = 1;
    std::vector<std::uint8_t> payload;
};

inline NodeValues nodeValues(std::uint32_t id, std::string name, std::int32_t type,
                             std::vector<std::uint8_t> payload = {}, std::int32_t dataFormat = 1) {
    NodeValues n;
    n.id = id;
    n.name = std::move(name);
    n.type = type;
    n.payload = std::move(payload);
    n.dataFormat = dataFormat;
    return n;
}

inline MotionValues motionValues(std::string name, std::vector<std::uint8_t> payload = {},
                                 std::int32_t dataFormat = 1) {
    MotionValues m;
    m.name = std::move(name);
    m.payload = std::move(payload);
    m.dataFormat = dataFormat;
    return m;
}

inline std::uint32_t sumOf(const std::vector<std::uint8_t>& bytes) {
    std::uint32_t sum = 0;
    for (std::uint8_t b : bytes) sum += b;
    return sum;
}

inline void currentHeader(ExpectedBinary& out, bool checksums = true) {
    out.str("BINARY")
        .str("version")
        .str("2.02.2010")
        .str("machine")
        .str("WINDOWS")
        .str("client")
        .str("VectorWorks2008")
        .str("SubFormat")
        .i32(1048)
        .str("ITFlags")
        .i32(1)
        .str("FPS")
        .i32(24)
        .str("maxTime")
        .i32(8000);
    if (checksums) out.str("CheckSum");
}

inline void legacyHeader(ExpectedBinary& out) {
    out.str("BINARY")
        .str("version")
        .str("1.25.2002")
        .str("machine")
        .str("WINDOWS")
        .str("client")
        .str("VectorWorks2008")
        .str("FPS")
        .i32(24)
        .str("maxTime")
        .i32(8000);
}

// The values between "{" and the motion items, current layout.
inline void currentNodeValues(ExpectedBinary& out, const NodeValues& n, bool checksums = true) {
    out.i32(kNodeMarker)
        .i32(n.kind)
        .u32(n.id)
        .u32(n.attrA)
        .u32(n.attrB)
        .str(n.name.empty() ? "Node" : n.name)
        .str("")
        .i32(n.type)
        .vec(0, 0, 0)
        .i32(1)
        .i32(-1)
        .i32(-1)
        .i32(0)
        .vec(0, 0, 0)
        .vec(0, 0, 0)
        .vec(0, 0, 0)
        .i32(-1)
        .i32(n.dataFormat)
        .i32(static_cast<std::int32_t>(n.payload.size()));
    if (!n.payload.empty()) {
        if (checksums) out.u32(sumOf(n.payload));
        out.raw(n.payload);
    }
}

// "(" , the values, ")" of one motion item, current layout.
inline void currentMotion(ExpectedBinary& out, const MotionValues& m, bool checksums = true) {
    out.str("(")
        .byte(255)
        .i32(m.kind)
        .str(m.name)
        .str("")
        .str("")
        .i32(m.key)
        .i32(0)
        .i32(m.motionFlags)
        .i32(0)
        .f32(0.5f)
        .vec(0, 0, 0)
        .i32(0)
        .f32(0.0f)
        .i32(m.dataFormat)
        .i32(static_cast<std::int32_t>(m.payload.size()));
    if (!m.payload.empty()) {
        if (checksums) out.u32(sumOf(m.payload));
        out.raw(m.payload);
    }
    out.str(")");
}

class WriterTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = freshFolder(std::string(::testing::UnitTest::GetInstance()->current_test_info()->test_suite_name()) +
                             "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        path = (folder / "scene.qmx").string();
    }

    // Every payload a source handed out came back for release, once.
    void expectAllReleased() const { EXPECT_EQ(ledger.handedOut, ledger.givenBack); }

    std::filesystem::path folder;
    std::string path;
    PayloadLedger ledger;
};

}  // namespace pelmora::scene_test
