// WCAG 2.1 relative luminance and contrast; see Contrast.h.
#include "app/Contrast.h"

#include <algorithm>
#include <cmath>

double RelativeLuminance(const QColor& colour) {
    auto linear = [](double c) {
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    const QColor rgb = colour.toRgb();
    return 0.2126 * linear(rgb.redF()) + 0.7152 * linear(rgb.greenF()) +
           0.0722 * linear(rgb.blueF());
}

double ContrastRatio(const QColor& a, const QColor& b) {
    const double la = RelativeLuminance(a), lb = RelativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor WithContrast(const QColor& colour, const QColor& background, double ratio) {
    // Towards whichever end stands out more from the background.
    const bool lighten =
        ContrastRatio(Qt::white, background) > ContrastRatio(Qt::black, background);
    const QColor hsl = colour.toHsl();
    const double hue = hsl.hslHueF(), saturation = hsl.hslSaturationF();
    double lightness = hsl.lightnessF();
    QColor result = colour;
    while (ContrastRatio(result, background) < ratio && lightness > 0.0 && lightness < 1.0) {
        lightness = std::clamp(lightness + (lighten ? 0.01 : -0.01), 0.0, 1.0);
        result = QColor::fromHslF(hue, saturation, lightness).toRgb();
    }
    return result;
}
