// Material properties set while each allocation in turn fails: the failed one
// throws std::bad_alloc, the material keeps every property set before and
// after it, and its table never counts room it does not have (Assimp's own
// AddProperty, refused memory, says so only in a return value and then writes
// past its table on the next add).
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/sweep/alloc_fault.h"
#include "tool/import/material_property.h"

namespace pelmora::sweep {
namespace {

constexpr unsigned kPictures = 12;  // more than a fresh material has room for

aiString pictureName(unsigned i, bool second) {
    return aiString(std::string(second ? "again_" : "picture_") + std::to_string(i) + ".png");
}

TEST(MaterialPropertySweep, EachFailedAllocationThrowsAndKeepsTheMaterialWhole) {
    bool fired = true;
    for (long n = 1; fired; ++n) {
        aiMaterial material;
        std::vector<bool> set(kPictures + 1, false);  // the last: picture 0 set a second time
        int thrown = 0;
        armAllocationFault(n, FaultMode::Once);
        for (unsigned i = 0; i <= kPictures; ++i) {
            try {
                tool::setMaterialProperty(material, pictureName(i % kPictures, i == kPictures),
                                          AI_MATKEY_TEXTURE(aiTextureType_DIFFUSE, i % kPictures));
                set[i] = true;
            } catch (const std::bad_alloc&) { ++thrown; }
        }
        fired = allocationFaultFired();
        disarmAllocationFault();
        EXPECT_EQ(thrown, fired ? 1 : 0) << "allocation " << n;
        EXPECT_LE(material.mNumProperties, material.mNumAllocated) << "allocation " << n;
        unsigned expected = 0;
        for (unsigned i = 0; i < kPictures; ++i) {
            aiString found;
            const bool present = material.Get(AI_MATKEY_TEXTURE(aiTextureType_DIFFUSE, i), found) == AI_SUCCESS;
            const bool again = i == 0 && set[kPictures];
            expected += set[i] || again ? 1 : 0;
            EXPECT_EQ(present, set[i] || again) << "allocation " << n << ", picture " << i;
            if (present) { EXPECT_STREQ(found.C_Str(), pictureName(i, again).C_Str()) << "allocation " << n; }
        }
        EXPECT_EQ(material.mNumProperties, expected) << "allocation " << n;
    }
}

}  // namespace
}  // namespace pelmora::sweep
