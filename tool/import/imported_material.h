// The look of one class of an imported model, as its material gives it:
// what a material template of the class would say. The import hands these
// over beside the drawing; the export turns each into a template for the
// classes the host folder has none for, and `import --templates` writes them
// out for the user to edit.
#pragma once

#include <string>

namespace pelmora::tool {

struct ImportedMaterial {
    std::string className;  // as the drawing holds it, in the drawing's code page
    float diffuse[3] = {0.6f, 0.6f, 0.6f};
    float ambient[3] = {0.0f, 0.0f, 0.0f};
    float specular[3] = {0.0f, 0.0f, 0.0f};
    float emissive[3] = {0.0f, 0.0f, 0.0f};
    float opacity = 1.0f;     // 0 clear to 1 opaque
    float shininess = 0.0f;   // Phong exponent
    float refraction = 0.0f;  // 0: the model gives none
};

}  // namespace pelmora::tool
