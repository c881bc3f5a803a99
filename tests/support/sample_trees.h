// Small scene trees for the reader tests, with payloads laid out by hand.
#pragma once

#include "tests/support/qmx_builder.h"

namespace qmxtest {

inline Bytes translatePayload(float x, float y, float z) {
    return PayloadBuilder(12).f32(0, x).f32(4, y).f32(8, z).data;
}

inline Bytes lightPayload() {
    return PayloadBuilder(72)
        .i32(0, 3)
        .i32(4, 1)
        .i32(8, 0)
        .f32(12, 0.85f)
        .f32(16, 0.785375f)
        .f32(20, 0.25f)
        .f32(24, 1.0f)
        .i32(28, 0)
        .f32(32, 0.0f)
        .f32(36, 1.0f)
        .f32(40, 0.0f)
        .i32(44, 1)
        .f32(48, 0.5f)
        .f32(68, 0.1f)
        .data;
}

// Current layout: 40-byte header, vertices, then n, indices, hole count per polygon.
inline Bytes currentMeshPayload() {
    PayloadBuilder p(40 + 12 * 4 + 4 * 11);
    p.i32(0, 4).i32(4, 2).i32(8, 44).i32(12, 0).f32(16, 0.5f).i32(20, 3).i32(24, -1);
    const float v[4][3] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
    for (int i = 0; i < 4; ++i)
        for (int k = 0; k < 3; ++k) p.f32(40 + 12 * i + 4 * k, v[i][k]);
    const std::int32_t lists[] = {3, 0, 1, 2, 0, 4, 0, 1, 2, 3, 0};
    for (int i = 0; i < 11; ++i) p.i32(88 + 4 * i, lists[i]);
    return p.data;
}

// Legacy layout: 36-byte header, vertices, then 16-bit n and indices.
inline Bytes legacyMeshPayload() {
    PayloadBuilder p(36 + 36 + 8);
    p.i32(0, 3).i32(4, 36).i32(8, 1).i32(12, 8).f32(24, 0.5f).i32(28, 2).i32(32, -1);
    const float v[3][3] = {{0, 0, 0}, {1, 0, 0}, {0, 0, 1}};
    for (int i = 0; i < 3; ++i)
        for (int k = 0; k < 3; ++k) p.f32(36 + 12 * i + 4 * k, v[i][k]);
    p.i16(72, 3).i16(74, 0).i16(76, 1).i16(78, 2);
    return p.data;
}

// Root 1000 with a light (two motion items, target link), its target point,
// and a mesh node with a payload. Values chosen so that "%.5f" keeps them.
inline TNode sampleTree(bool legacy) {
    TNode root;
    root.kind = legacy ? 4 : 5;
    root.id = 1000;
    root.type = 1;
    root.name = "Root";

    TNode light;
    light.kind = root.kind;
    light.id = 1004;
    light.type = 4;
    light.name = "Lamp \"A\"";
    light.attrA = 0x1 | 0x800;  // legacy word 0x2 | 0x40000
    light.attrB = 0x20;         // legacy word 0x20000
    light.flagWord = 0x2 | 0x40000 | 0x20000;
    light.targetId1 = 1005;
    light.targetId2 = 1005;
    light.vecA = {1.25f, -2.0f, 0.5f};
    TMotion translate;
    translate.kind = legacy ? 1 : 2;
    translate.data = translatePayload(1.0f, 2.5f, -3.0f);
    TMotion params;
    params.kind = legacy ? 1 : 2;
    params.name = "motionLightParameter";
    params.motionFlags = 0x30;
    params.weight = 0.75f;
    params.data = lightPayload();
    light.motions = {translate, params};

    TNode target;
    target.kind = root.kind;
    target.id = 1005;
    target.type = 16;
    target.name = "Target";

    TNode mesh;
    mesh.kind = root.kind;
    mesh.id = 1003;
    mesh.type = 8;
    mesh.name = "Walls";
    mesh.dataFormat = legacy ? 1 : 2;
    mesh.data = legacy ? legacyMeshPayload() : currentMeshPayload();

    root.children = {light, target, mesh};
    return root;
}

}  // namespace qmxtest
