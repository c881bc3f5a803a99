// Payload tables of the decoded motion kinds. Offsets are from the start of
// the payload; each table covers its payload without gap or overlap.
#include "qmxread/payload_layouts.h"

#include <cstring>

namespace pelmora::qmxread {

namespace {

using F = FieldType;

constexpr FieldDef kTranslate[] = {
    {0, "translation", F::Float, 3},
};

constexpr FieldDef kLightParameter[] = {
    {0, "lightType", F::Int32, 1},  {4, "lightFlag", F::Int32, 1}, {8, "lightB", F::Int32, 1},
    {12, "intensity", F::Float, 1}, {16, "coneA", F::Float, 1},    {20, "coneB", F::Float, 1},
    {24, "lightC", F::Float, 1},    {28, "lightD", F::Int32, 1},   {32, "axis", F::Float, 3},
    {44, "lightMode", F::Int32, 1}, {48, "lightE", F::Float, 1},   {52, "@52", F::Int32, 4},
    {68, "lightF", F::Float, 1},
};

// Header of 36 bytes, then the settings block from offset 36.
constexpr FieldDef kCameraCurrent[] = {
    {0, "viewAngle", F::Float, 1},
    {4, "@4", F::Float, 1},
    {8, "@8", F::Float, 1},
    {12, "@12", F::Float, 1},
    {16, "@16", F::Float, 1},
    {20, "@20", F::Int32, 4},
    {36, "pictureName", F::Text, 256},
    {292, "writerName", F::Text, 128},
    {420, "rendererName", F::Text, 128},
    {548, "@548", F::Text, 128},
    {676, "optionBits", F::Int32, 1},
    {680, "@680", F::Int32, 1},
    {684, "@684", F::Int32, 1},
    {688, "@688", F::Int32, 1},
    {692, "@692", F::Int32, 1},
    {696, "pictureWidth", F::Int32, 1},
    {700, "pictureHeight", F::Int32, 1},
    {704, "@704", F::Float, 1},
    {708, "cameraValue", F::Int32, 1},
    {712, "@712", F::Int32, 1},
    {716, "@716", F::Int32, 3},
    {728, "@728", F::Int32, 1},
    {732, "@732", F::Float, 1},
    {736, "@736", F::Int32, 1},
    {740, "@740", F::Float, 1},
    {744, "@744", F::Int32, 1},
    {748, "@748", F::Float, 1},
    {752, "@752", F::Int32, 1},
    {756, "@756", F::Int32, 1},
    {760, "@760", F::Int32, 1},
    {764, "@764", F::Float, 1},
    {768, "@768", F::Int32, 1},
    {772, "@772", F::Int32, 1},
    {776, "@776", F::Int32, 1},
    {780, "@780", F::Float, 1},
    {784, "@784", F::Int32, 1},
    {788, "@788", F::Int32, 1},
    {792, "@792", F::Int32, 1},
    {796, "@796", F::Int32, 1},
    {800, "@800", F::Int32, 1},
    {804, "@804", F::Float, 1},
    {808, "@808", F::Float, 1},
    {812, "@812", F::Int32, 1},
    {816, "@816", F::Float, 1},
    {820, "@820", F::Int32, 1},
    {824, "@824", F::Float, 1},
    {828, "@828", F::Float, 1},
    {832, "@832", F::Int32, 7},
};

// Header of 44 bytes, then the settings block from offset 44.
constexpr FieldDef kCameraLegacy[] = {
    {0, "viewAngle", F::Float, 1},
    {4, "@4", F::Float, 1},
    {8, "@8", F::Float, 1},
    {12, "@12", F::Float, 1},
    {16, "@16", F::Float, 4},
    {32, "@32", F::Int32, 3},
    {44, "pictureName", F::Text, 256},
    {300, "writerName", F::Text, 256},
    {556, "rendererName", F::Text, 256},
    {812, "@812", F::Int32, 1},
    {816, "@816", F::Int32, 1},
    {820, "switchA", F::Int32, 1},
    {824, "pictureWidth", F::Int32, 1},
    {828, "pictureHeight", F::Int32, 1},
    {832, "@832", F::Int32, 1},
    {836, "@836", F::Float, 1},
    {840, "@840", F::Int32, 1},
    {844, "@844", F::Float, 1},
    {848, "@848", F::Int32, 1},
    {852, "@852", F::Float, 1},
    {856, "switchC", F::Int32, 1},
    {860, "@860", F::Int32, 1},
    {864, "switchB", F::Int32, 1},
    {868, "@868", F::Int32, 1},
    {872, "cameraValue", F::Int32, 1},
    {876, "@876", F::Int32, 3},
    {888, "@888", F::Int32, 1},
    {892, "@892", F::Int32, 2},
    {900, "@900", F::Int32, 1},
    {904, "@904", F::Int32, 2},
    {912, "@912", F::Int32, 2},
    {920, "@920", F::Int32, 4},
    {936, "@936", F::Int32, 1},
    {940, "@940", F::Int32, 1},
    {944, "@944", F::Int32, 1},
    {948, "@948", F::Int32, 1},
};

constexpr FieldDef kMaterialCurrent[] = {
    {0, "diffuse", F::Float, 4},
    {16, "specular", F::Float, 4},
    {32, "transparent", F::Float, 4},
    {48, "reflexion", F::Float, 4},
    {64, "ambient", F::Float, 4},
    {80, "emissive", F::Float, 4},
    {96, "@96", F::Float, 4},
    {112, "specularpower", F::Float, 1},
    {116, "refractionindex", F::Float, 1},
    {120, "maxreflexiondistance", F::Float, 1},
    {124, "maxtransparencedistance", F::Float, 1},
    {128, "@128", F::Float, 1},
    {132, "@132", F::Float, 1},
    {136, "@136", F::Float, 1},
    {140, "@140", F::Int32, 1},
    {144, "@144", F::Int32, 5},
};

constexpr FieldDef kMaterialLegacy[] = {
    {0, "diffuse", F::Float, 4},
    {16, "specular", F::Float, 4},
    {32, "transparent", F::Float, 4},
    {48, "reflexion", F::Float, 4},
    {64, "ambient", F::Float, 4},
    {80, "emissive", F::Float, 4},
    {96, "specularpower", F::Float, 1},
    {100, "refractionindex", F::Float, 1},
    {104, "maxreflexiondistance", F::Float, 1},
    {108, "maxtransparencedistance", F::Float, 1},
    {112, "@112", F::Int32, 1},
};

constexpr FieldDef kTextureCurrent[] = {
    {0, "cutoutcolor", F::Float, 4},    {16, "deltacutout", F::Float, 4}, {32, "@32", F::Float, 4},
    {48, "position", F::Float, 2},      {56, "size", F::Float, 2},        {64, "@64", F::Int32, 1},
    {68, "keepratio", F::Int32, 1},     {72, "rotate", F::Float, 1},      {76, "repeatx", F::Int32, 1},
    {80, "repeaty", F::Int32, 1},       {84, "invertx", F::Int32, 1},     {88, "inverty", F::Int32, 1},
    {92, "bump", F::Float, 1},          {96, "apply", F::Int32, 1},       {100, "@100", F::Int32, 1},
    {104, "cutout", F::Int32, 1},       {108, "mixcolor", F::Int32, 1},   {112, "@112", F::Float, 1},
    {116, "textureFlags", F::Int32, 1}, {120, "@120", F::Int32, 4},       {136, "fileName", F::Text, 256},
};

constexpr FieldDef kTextureLegacy[] = {
    {0, "@0", F::Int32, 1},       {4, "@4", F::Int32, 1},           {8, "@8", F::Float, 2},
    {16, "size", F::Float, 2},    {24, "@24", F::Float, 2},         {32, "@32", F::Int32, 1},
    {36, "repeatx", F::Int32, 1}, {40, "repeaty", F::Int32, 1},     {44, "@44", F::Int32, 3},
    {56, "@56", F::Int32, 1},     {60, "mappingType", F::Int32, 1}, {64, "@64", F::Int32, 1},
    {68, "@68", F::Float, 4},     {84, "@84", F::Float, 4},         {100, "@100", F::Int32, 1},
    {104, "@104", F::Float, 1},   {108, "@108", F::Float, 4},       {124, "textureFlags", F::Int32, 1},
    {128, "@128", F::Int32, 1},   {132, "fileName", F::Text, 256},
};

constexpr PayloadLayout kLayouts[] = {
    {"motionTranslate", LayoutTag::Both, 1, 12, kTranslate},
    {"motionLightParameter", LayoutTag::Both, 1, 72, kLightParameter},
    {"motionCameraParameter", LayoutTag::Current, 5, 860, kCameraCurrent},
    {"motionCameraParameter", LayoutTag::Legacy, 2, 952, kCameraLegacy},
    {"motionMaterial", LayoutTag::Current, 3, 164, kMaterialCurrent},
    {"motionMaterial", LayoutTag::Legacy, 2, 116, kMaterialLegacy},
    {"motionTexture", LayoutTag::Current, 4, 392, kTextureCurrent},
    {"motionTexture", LayoutTag::Legacy, 3, 388, kTextureLegacy},
};

}  // namespace

std::span<const PayloadLayout> payloadLayouts() { return kLayouts; }

bool isDecodedMotionName(const char* name) {
    for (const PayloadLayout& layout : kLayouts) {
        if (std::strcmp(layout.motionName, name) == 0) return true;
    }
    return false;
}

}  // namespace pelmora::qmxread
