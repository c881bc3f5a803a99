// Material and texture sections: key tables, given flags, layers, scaling.
#include <gtest/gtest.h>

#include <string>

#include "plugin/templates/section_readers.h"
#include "tests/support/template_test_support.h"

namespace pelmora {
namespace {

using test::textOf;

// The text after a "motion create ..." line: the reader starts at the line
// before its first key.
MaterialParams material(const std::string& body, MaterialParams params = {}) {
    TextBuffer buffer = textOf("motion create motionMaterial\n" + body);
    Tokenizer tokenizer(buffer);
    tokenizer.nextToken();
    readMaterialBlock(tokenizer, params);
    return params;
}

TextureParams texture(const std::string& body) {
    TextBuffer buffer = textOf("motion create motionTexture\n" + body);
    Tokenizer tokenizer(buffer);
    tokenizer.nextToken();
    TextureParams params;
    readTextureBlock(tokenizer, params);
    return params;
}

TEST(MaterialSection, DiffuseInAnyCaseFillsLayerOne) {
    for (const char* key : {"diffuse", "Diffuse", "DIFFUSE", "\"diffuse\""}) {
        MaterialParams p = material(std::string(key) + " 255 255 255\nend\n");
        EXPECT_TRUE(p.hasMaterial);
        EXPECT_EQ(p.layers[0].diffuse.red, 1.0f) << key;
        EXPECT_EQ(p.layers[0].diffuse.green, 1.0f);
        EXPECT_EQ(p.layers[0].diffuse.blue, 1.0f);
        EXPECT_EQ(p.layers[0].diffuse.alpha, 0.0f);
        EXPECT_TRUE(p.layers[0].diffuse.given);
    }
}

TEST(MaterialSection, EmptySectionStillCountsAndDiffuseStaysGiven) {
    MaterialParams p = material("end\n");
    EXPECT_TRUE(p.hasMaterial);
    EXPECT_EQ(p.kind, 1);
    EXPECT_TRUE(p.layers[0].diffuse.given);
    EXPECT_EQ(p.layers[0].diffuse.red, 0.0f);
    EXPECT_FALSE(p.layers[0].specular.given);
    EXPECT_FALSE(p.type.given);
}

TEST(MaterialSection, AllLayerKeys) {
    MaterialParams p = material(
        "specular 0.5 0.5 0.5\ntransparent 1 2 3\nreflexion 0 0 0\nambient 0.1 0.2 0.3\nemissive 10 20 30\n"
        "specularpower 40\nrefractionindex 1.5\nmaxreflexiondistance 2d3\nmaxtransparencedistance 7\nend\n");
    const MaterialLayer& l = p.layers[0];
    EXPECT_TRUE(l.specular.given);
    EXPECT_EQ(l.specular.red, 0.5f);
    EXPECT_FLOAT_EQ(l.transparent.blue, 3.0f / 255.0f);
    EXPECT_TRUE(l.reflexion.given);
    EXPECT_EQ(l.ambient.blue, 0.3f);
    EXPECT_FLOAT_EQ(l.emissive.green, 20.0f / 255.0f);
    EXPECT_TRUE(l.specularpower.given);
    EXPECT_EQ(l.specularpower.value, 40.0);
    EXPECT_EQ(l.refractionindex.value, 1.5);
    EXPECT_EQ(l.maxreflexiondistance.value, 2000.0);
    EXPECT_EQ(l.maxtransparencedistance.value, 7.0);
    EXPECT_TRUE(l.maxtransparencedistance.given);
}

TEST(MaterialSection, ColorSelectsTheLayerUntilTheNextSection) {
    MaterialParams p = material("color 2\nspecular 0.5 0.5 0.5\nend\n");
    EXPECT_TRUE(p.layers[1].specular.given);
    EXPECT_EQ(p.layers[1].specular.red, 0.5f);
    EXPECT_FALSE(p.layers[0].specular.given);
    // A later section starts at layer 1 again and keeps what it does not name.
    p = material("specular 0.25 0.25 0.25\nend\n", p);
    EXPECT_EQ(p.layers[0].specular.red, 0.25f);
    EXPECT_EQ(p.layers[1].specular.red, 0.5f);
    p = material("color 4\nambient 1.0 1.0 1.0\nend\n");
    EXPECT_TRUE(p.layers[3].ambient.given);
}

TEST(MaterialSection, ColorOutsideOneToFourIsInvalid) {
    EXPECT_THROW(material("color 0\nend\n"), invalid_token_error);
    EXPECT_THROW(material("color 5\nend\n"), invalid_token_error);
    EXPECT_THROW(material("color -1\nend\n"), invalid_token_error);
    EXPECT_THROW(material("color red\nend\n"), unexpected_token_error);
}

TEST(MaterialSection, TypeWordsAndNumbers) {
    EXPECT_EQ(material("type sphere\nend\n").type.value, 2);
    EXPECT_EQ(material("type \"edge\"\nend\n").type.value, 3);
    EXPECT_EQ(material("type square\nend\n").type.value, 1);
    EXPECT_EQ(material("type 0\nend\n").type.value, 1);
    EXPECT_EQ(material("type 1\nend\n").type.value, 1);
    EXPECT_EQ(material("type 2\nend\n").type.value, 2);
    MaterialParams cube = material("type cube\nend\n");
    EXPECT_EQ(cube.type.value, 0);
    EXPECT_TRUE(cube.type.given);
    EXPECT_EQ(material("type Sphere\nend\n").type.value, 0);  // the words are case-sensitive
}

TEST(MaterialSection, NoiseOnUnlessFalseOrZero) {
    EXPECT_EQ(material("noise true\nend\n").noise.value, 1);
    EXPECT_EQ(material("noise false\nend\n").noise.value, 0);
    EXPECT_EQ(material("noise 0\nend\n").noise.value, 0);
    EXPECT_EQ(material("noise \"false\"\nend\n").noise.value, 1);
    EXPECT_TRUE(material("noise 7\nend\n").noise.given);
}

TEST(MaterialSection, MaterialWideValues) {
    MaterialParams p = material("noiseamplitude 0.5\nnoisefrequence 1 2 3\nsize 4 5\n6\nend\n");
    EXPECT_TRUE(p.noiseamplitude.given);
    EXPECT_EQ(p.noiseamplitude.value, 0.5);
    EXPECT_EQ(p.noisefrequence.value.v[2], 3.0f);
    EXPECT_TRUE(p.size.given);
    EXPECT_EQ(p.size.value.v[0], 4.0f);
    EXPECT_EQ(p.size.value.v[2], 6.0f);  // values may go on on the next line
}

TEST(MaterialSection, FlagsMustBeANumberAndIsDropped) {
    EXPECT_THROW(material("flags abc\nend\n"), unexpected_token_error);
    MaterialParams p = material("flags 12\nend\n");
    MaterialParams plain = material("end\n");
    EXPECT_EQ(p.type.given, plain.type.given);
    EXPECT_EQ(p.layers[0].diffuse.red, plain.layers[0].diffuse.red);
}

TEST(MaterialSection, UnknownKeysCommentsAndMotionLinesArePassedOver) {
    MaterialParams p = material(
        "shininess 1 2 3 word\n# diffuse 1.0 1.0 1.0\nmotion create motionTexture\ndiffuse 0.5 0.5 0.5\nend\n"
        "diffuse 0.25 0.25 0.25\n");
    EXPECT_EQ(p.layers[0].diffuse.red, 0.5f);
}

TEST(MaterialSection, EndOfTextClosesTheSection) {
    EXPECT_THROW(material("diffuse 0.5 0.5"), unexpected_eof_error);
    MaterialParams p;
    TextBuffer buffer = textOf("motion create motionMaterial\nspecularpower 3");
    Tokenizer tokenizer(buffer);
    tokenizer.nextToken();
    readMaterialBlock(tokenizer, p);  // the last key's value ends the text; the next key read finds none
    EXPECT_EQ(p.layers[0].specularpower.value, 3.0);
}

TEST(MaterialSection, FailedReadLeavesGivenSet) {
    MaterialParams p;
    TextBuffer buffer = textOf("motion create motionMaterial\nspecular 0.5 0.25");
    Tokenizer tokenizer(buffer);
    tokenizer.nextToken();
    EXPECT_THROW(readMaterialBlock(tokenizer, p), unexpected_eof_error);
    EXPECT_TRUE(p.layers[0].specular.given);
    EXPECT_EQ(p.layers[0].specular.green, 0.25f);
}

TEST(TextureSection, OnlyEndGivesDefaults) {
    TextureParams t = texture("end\n");
    EXPECT_EQ(t.fileName, "");
    EXPECT_EQ(t.keepratio.value, 1);
    EXPECT_FALSE(t.keepratio.given);
    EXPECT_FALSE(t.size.given);
    EXPECT_FALSE(t.cutoutcolor.given);
    EXPECT_FALSE(t.mixcolor.given);
}

TEST(TextureSection, SizeIsScaledToMetres) {
    TextureParams t = texture("size 1000 500\nend\n");
    EXPECT_TRUE(t.size.given);
    EXPECT_EQ(t.size.value.v[0], 1.0f);
    EXPECT_EQ(t.size.value.v[1], 0.5f);
    EXPECT_EQ(texture("size 3 0\nend\n").size.value.v[0], 3.0f * 0.001f);
}

TEST(TextureSection, FileNameQuotedOrOneToken) {
    EXPECT_EQ(texture("filename \"oak planks.jpg\"\nend\n").fileName, "oak planks.jpg");
    EXPECT_EQ(texture("FileName oak planks.jpg\nend\n").fileName, "oak");
}

TEST(TextureSection, EveryKey) {
    TextureParams t = texture(
        "keepratio 0\nposition 0.5 0.25\nrotate 45\nrepeatx 1\nrepeaty 2\ninvertx 3\ninverty 4\nbump 0.75\n"
        "apply 5\nmappingtype 6\ncutout 7\ncutoutcolor 255 0 0\ndeltacutout 10 10 10\nmixcolor 255 0 0\nend\n");
    EXPECT_TRUE(t.keepratio.given);
    EXPECT_EQ(t.keepratio.value, 0);
    EXPECT_EQ(t.position.value.v[1], 0.25f);
    EXPECT_EQ(t.rotate.value, 45.0);
    EXPECT_EQ(t.repeatx.value, 1);
    EXPECT_EQ(t.repeaty.value, 2);
    EXPECT_EQ(t.invertx.value, 3);
    EXPECT_EQ(t.inverty.value, 4);
    EXPECT_EQ(t.bump.value, 0.75);
    EXPECT_EQ(t.apply.value, 5);
    EXPECT_EQ(t.mappingtype.value, 6);
    EXPECT_EQ(t.cutout.value, 7);
    EXPECT_TRUE(t.cutoutcolor.given);
    EXPECT_EQ(t.cutoutcolor.red, 255.0f);  // 0 is outside 1..255: not scaled
    EXPECT_FLOAT_EQ(t.deltacutout.red, 10.0f / 255.0f);
    EXPECT_TRUE(t.mixcolor.given);
    EXPECT_EQ(t.mixcolor.value, 255);  // an integer; the zeros go with the rest of the line
    EXPECT_TRUE(t.apply.given && t.mappingtype.given && t.cutout.given && t.bump.given);
}

TEST(TextureSection, MaterialKeysMeanNothingHere) {
    TextureParams t = texture("diffuse 1 1 1\ncolor 9\nkeepratio 2\nend\n");
    EXPECT_EQ(t.keepratio.value, 2);
}

TEST(TextureSection, WrongKindOfValue) { EXPECT_THROW(texture("repeatx yes\nend\n"), unexpected_token_error); }

}  // namespace
}  // namespace pelmora
