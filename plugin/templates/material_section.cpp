// The keys of a motionMaterial section.
#include <cstring>

#include "plugin/templates/key_table.h"
#include "plugin/templates/section_readers.h"

namespace pelmora {
namespace {

struct MaterialSection {
    MaterialParams& params;
    MaterialLayer* currentLayer;
};

// Each handler marks its field given before reading, so a value cut short by
// the end of the text still counts as named.
template <ColorValue MaterialLayer::*Field>
bool layerColor(Tokenizer& tokenizer, MaterialSection& section) {
    ColorValue& colour = section.currentLayer->*Field;
    colour.given = true;
    tokenizer.readColor(colour);
    return true;
}

template <Given<double> MaterialLayer::*Field>
bool layerDouble(Tokenizer& tokenizer, MaterialSection& section) {
    Given<double>& field = section.currentLayer->*Field;
    field.given = true;
    tokenizer.readDouble(field.value);
    return true;
}

bool flags(Tokenizer& tokenizer, MaterialSection&) {
    std::int32_t dropped = 0;
    tokenizer.readInt(dropped);
    return true;
}

bool color(Tokenizer& tokenizer, MaterialSection& section) {
    std::int32_t layer = 0;
    tokenizer.readInt(layer);
    if (layer < 1 || layer > 4) throw invalid_token_error{};
    section.currentLayer = &section.params.layers[layer - 1];
    return true;
}

bool type(Tokenizer& tokenizer, MaterialSection& section) {
    Given<std::int32_t>& type = section.params.type;
    type.given = true;
    const char* token = tokenizer.nextToken();
    if (std::strcmp(token, "\"") == 0) token = tokenizer.nextToken();
    struct Name {
        const char* text;
        std::int32_t value;
    };
    static constexpr Name kTypes[] = {{"square", 1}, {"sphere", 2}, {"edge", 3}, {"0", 1}, {"1", 1}, {"2", 2}};
    for (const Name& name : kTypes) {
        if (std::strcmp(token, name.text) == 0) type.value = name.value;
    }
    return true;
}

bool noise(Tokenizer& tokenizer, MaterialSection& section) {
    Given<std::int32_t>& noise = section.params.noise;
    noise.given = true;
    noise.value = 1;
    const char* token = tokenizer.nextToken();
    if (std::strcmp(token, "false") == 0 || std::strcmp(token, "0") == 0) noise.value = 0;
    return true;
}

bool noiseAmplitude(Tokenizer& tokenizer, MaterialSection& section) {
    section.params.noiseamplitude.given = true;
    tokenizer.readDouble(section.params.noiseamplitude.value);
    return true;
}

template <Given<Float3> MaterialParams::*Field>
bool materialFloat3(Tokenizer& tokenizer, MaterialSection& section) {
    Given<Float3>& field = section.params.*Field;
    field.given = true;
    tokenizer.readFloat3(field.value.v);
    return true;
}

bool end(Tokenizer&, MaterialSection&) { return false; }

constexpr KeyEntry<MaterialSection> kMaterialKeys[] = {
    {"diffuse", layerColor<&MaterialLayer::diffuse>},
    {"specular", layerColor<&MaterialLayer::specular>},
    {"transparent", layerColor<&MaterialLayer::transparent>},
    {"reflexion", layerColor<&MaterialLayer::reflexion>},
    {"ambient", layerColor<&MaterialLayer::ambient>},
    {"emissive", layerColor<&MaterialLayer::emissive>},
    {"specularpower", layerDouble<&MaterialLayer::specularpower>},
    {"refractionindex", layerDouble<&MaterialLayer::refractionindex>},
    {"maxreflexiondistance", layerDouble<&MaterialLayer::maxreflexiondistance>},
    {"maxtransparencedistance", layerDouble<&MaterialLayer::maxtransparencedistance>},
    {"flags", flags},
    {"color", color},
    {"type", type},
    {"noise", noise},
    {"noiseamplitude", noiseAmplitude},
    {"noisefrequence", materialFloat3<&MaterialParams::noisefrequence>},
    {"size", materialFloat3<&MaterialParams::size>},
    {"end", end},
};

}  // namespace

void readMaterialBlock(Tokenizer& tokenizer, MaterialParams& params) {
    // Present from here on, even when the section turns out empty or broken.
    params.hasMaterial = true;
    MaterialSection section{params, &params.layers[0]};
    readKeyLines(tokenizer, section, kMaterialKeys);
}

}  // namespace pelmora
