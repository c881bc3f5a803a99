#include "preview/lit/lux_picture.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include "preview/lit/legend_font.h"
#include "preview/lit/lit_render.h"

namespace pelmora::preview {

namespace {

// At most this many decades below the brightest pixel are told apart.
constexpr int kMostDecades = 4;

struct Stop {
    double at;
    double red, green, blue;
};
constexpr Stop kStops[] = {
    {0.0, 20, 20, 140}, {0.25, 0, 110, 255}, {0.5, 0, 200, 120}, {0.75, 250, 225, 0}, {1.0, 225, 20, 20},
};

Rgb ramp(double t) {
    t = std::clamp(t, 0.0, 1.0);
    std::size_t i = 0;
    while (i + 2 < std::size(kStops) && t > kStops[i + 1].at) ++i;
    const Stop& a = kStops[i];
    const Stop& b = kStops[i + 1];
    const double f = (t - a.at) / (b.at - a.at);
    auto mix = [f](double x, double y) { return static_cast<std::uint8_t>(std::lround(x + (y - x) * f)); };
    return {mix(a.red, b.red), mix(a.green, b.green), mix(a.blue, b.blue)};
}

std::string decadeLabel(int decade) {
    if (decade >= 0 && decade <= 5) return "1" + std::string(static_cast<std::size_t>(decade), '0');
    if (decade < 0 && decade >= -3) return "0." + std::string(static_cast<std::size_t>(-decade - 1), '0') + "1";
    return "1e" + std::to_string(decade);
}

void fillBox(Image& image, int x0, int y0, int x1, int y1, Rgb colour) {
    for (int y = std::max(0, y0); y < std::min(image.height, y1); ++y)
        for (int x = std::max(0, x0); x < std::min(image.width, x1); ++x) image.set(image.index(x, y), colour);
}

void drawLegend(Image& image, const LuxScale& scale) {
    const int s = image.height >= 400 ? 2 : 1;
    const int margin = 6 * s, barWidth = 10 * s;
    const int barHeight = std::min(image.height - 2 * margin - 12 * s, 120 * s);
    if (barHeight < 20 || image.width < 60 * s) return;
    int labelWidth = 0;
    for (int d = scale.lowDecade; d <= scale.highDecade; ++d)
        labelWidth = std::max(labelWidth, textWidth(decadeLabel(d), s));
    const int right = image.width - margin;
    const int barLeft = right - margin - barWidth;
    const int top = margin, barTop = top + margin + 10 * s;
    const int left = barLeft - 4 * s - labelWidth - margin;
    fillBox(image, left, top, right, barTop + barHeight + margin + 4 * s, Rgb{0, 0, 0});
    for (int y = 0; y < barHeight; ++y)
        fillBox(image, barLeft, barTop + y, barLeft + barWidth, barTop + y + 1,
                ramp(1.0 - static_cast<double>(y) / (barHeight - 1)));
    const Rgb white{255, 255, 255};
    writeText(image, barLeft, top + margin / 2, "lx", s, white);
    const int decades = scale.highDecade - scale.lowDecade;
    for (int d = scale.lowDecade; d <= scale.highDecade; ++d) {
        const int y = barTop + (barHeight - 1) * (scale.highDecade - d) / decades;
        const std::string label = decadeLabel(d);
        fillBox(image, barLeft - 3 * s, y, barLeft, y + s, white);
        writeText(image, barLeft - 4 * s - textWidth(label, s), y - kGlyphHeight * s / 2, label, s, white);
    }
}

}  // namespace

LuxScale luxScaleOf(const std::vector<float>& illuminance) {
    float brightest = 0.0f, dimmest = std::numeric_limits<float>::infinity();
    for (float lux : illuminance)
        if (lux > 0.0f && std::isfinite(lux)) brightest = std::max(brightest, lux), dimmest = std::min(dimmest, lux);
    LuxScale scale;
    if (!(brightest > 0.0f)) return scale;
    scale.highDecade = static_cast<int>(std::ceil(std::log10(brightest)));
    scale.lowDecade = std::max(static_cast<int>(std::floor(std::log10(dimmest))), scale.highDecade - kMostDecades);
    if (scale.lowDecade >= scale.highDecade) scale.lowDecade = scale.highDecade - 1;
    return scale;
}

Rgb luxColour(double lux, const LuxScale& scale) {
    if (!(lux > 0.0)) return {0, 0, 0};
    return ramp((std::log10(lux) - scale.lowDecade) / (scale.highDecade - scale.lowDecade));
}

Image luxPicture(const std::vector<float>& illuminance, int width, int height, const LuxScale& scale) {
    Image image(width, height);
    for (std::size_t pixel = 0; pixel < illuminance.size(); ++pixel)
        image.set(pixel, illuminance[pixel] < 0.0f ? kLitBackground : luxColour(illuminance[pixel], scale));
    drawLegend(image, scale);
    return image;
}

}  // namespace pelmora::preview
