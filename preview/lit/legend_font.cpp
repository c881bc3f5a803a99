#include "preview/lit/legend_font.h"

#include <array>
#include <cstdint>

namespace pelmora::preview {

namespace {

struct Glyph {
    char character;
    std::array<std::uint8_t, kGlyphHeight> rows;  // bit 4 the leftmost pixel
};

constexpr Glyph kGlyphs[] = {
    {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}}, {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}}, {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}}, {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}}, {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}}, {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
    {'.', {0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x0C}}, {'-', {0x00, 0x00, 0x00, 0x1F, 0x00, 0x00, 0x00}},
    {'e', {0x00, 0x00, 0x0E, 0x11, 0x1F, 0x10, 0x0E}}, {'l', {0x08, 0x08, 0x08, 0x08, 0x08, 0x09, 0x06}},
    {'x', {0x00, 0x00, 0x11, 0x0A, 0x04, 0x0A, 0x11}},
};

const Glyph* glyphOf(char c) {
    for (const Glyph& glyph : kGlyphs)
        if (glyph.character == c) return &glyph;
    return nullptr;
}

}  // namespace

int textWidth(const std::string& text, int scale) {
    return text.empty() ? 0 : static_cast<int>(text.size()) * (kGlyphWidth + 1) * scale - scale;
}

void writeText(Image& image, int x, int y, const std::string& text, int scale, Rgb colour) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const Glyph* glyph = glyphOf(text[i]);
        if (!glyph) continue;
        const int left = x + static_cast<int>(i) * (kGlyphWidth + 1) * scale;
        for (int row = 0; row < kGlyphHeight; ++row)
            for (int column = 0; column < kGlyphWidth; ++column) {
                if (!(glyph->rows[static_cast<std::size_t>(row)] & (0x10 >> column))) continue;
                for (int dy = 0; dy < scale; ++dy)
                    for (int dx = 0; dx < scale; ++dx) {
                        const int px = left + column * scale + dx, py = y + row * scale + dy;
                        if (px >= 0 && py >= 0 && px < image.width && py < image.height)
                            image.set(image.index(px, py), colour);
                    }
            }
    }
}

}  // namespace pelmora::preview
