// The keys of a motionTexture section.
#include "plugin/templates/key_table.h"
#include "plugin/templates/section_readers.h"

namespace pelmora {
namespace {

// Each handler marks its field given before reading, so a value cut short by
// the end of the text still counts as named.
template <Given<std::int32_t> TextureParams::*Field>
bool textureInt(Tokenizer& tokenizer, TextureParams& params) {
    Given<std::int32_t>& field = params.*Field;
    field.given = true;
    tokenizer.readInt(field.value);
    return true;
}

template <Given<double> TextureParams::*Field>
bool textureDouble(Tokenizer& tokenizer, TextureParams& params) {
    Given<double>& field = params.*Field;
    field.given = true;
    tokenizer.readDouble(field.value);
    return true;
}

template <ColorValue TextureParams::*Field>
bool textureColor(Tokenizer& tokenizer, TextureParams& params) {
    ColorValue& colour = params.*Field;
    colour.given = true;
    tokenizer.readColor(colour);
    return true;
}

bool fileName(Tokenizer& tokenizer, TextureParams& params) {
    tokenizer.readString(params.fileName);
    return true;
}

bool position(Tokenizer& tokenizer, TextureParams& params) {
    params.position.given = true;
    tokenizer.readFloat2(params.position.value.v);
    return true;
}

// Written in millimetres, kept in metres.
bool size(Tokenizer& tokenizer, TextureParams& params) {
    params.size.given = true;
    float(&v)[2] = params.size.value.v;
    tokenizer.readFloat2(v);
    v[0] *= 0.001f;
    v[1] *= 0.001f;
    return true;
}

bool end(Tokenizer&, TextureParams&) { return false; }

constexpr KeyEntry<TextureParams> kTextureKeys[] = {
    {"filename", fileName},
    {"keepratio", textureInt<&TextureParams::keepratio>},
    {"position", position},
    {"size", size},
    {"rotate", textureDouble<&TextureParams::rotate>},
    {"repeatx", textureInt<&TextureParams::repeatx>},
    {"repeaty", textureInt<&TextureParams::repeaty>},
    {"invertx", textureInt<&TextureParams::invertx>},
    {"inverty", textureInt<&TextureParams::inverty>},
    {"bump", textureDouble<&TextureParams::bump>},
    {"apply", textureInt<&TextureParams::apply>},
    {"mappingtype", textureInt<&TextureParams::mappingtype>},
    {"cutout", textureInt<&TextureParams::cutout>},
    {"cutoutcolor", textureColor<&TextureParams::cutoutcolor>},
    {"deltacutout", textureColor<&TextureParams::deltacutout>},
    {"mixcolor", textureInt<&TextureParams::mixcolor>},
    {"end", end},
};

}  // namespace

void readTextureBlock(Tokenizer& tokenizer, TextureParams& params) { readKeyLines(tokenizer, params, kTextureKeys); }

}  // namespace pelmora
