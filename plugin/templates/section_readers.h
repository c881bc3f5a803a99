// The readers of the key lines of one motionMaterial or motionTexture
// section, up to and including its `end` line (or the end of the text).
// Reader errors are not caught here: they end the template.
#pragma once

#include "plugin/templates/params.h"
#include "plugin/templates/tokenizer.h"

namespace pelmora {

// Marks the material present, starts at layer 1 and fills `params` from the keys.
void readMaterialBlock(Tokenizer& tokenizer, MaterialParams& params);
// Fills one texture record from the keys.
void readTextureBlock(Tokenizer& tokenizer, TextureParams& params);

}  // namespace pelmora
