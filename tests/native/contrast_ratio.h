// The WCAG 2 contrast ratio, worked out here and not by the product: the
// relative luminance of an sRGB colour (channels 0 to 255, fractions for a
// colour laid over a background with its alpha).
#pragma once
#include <cmath>

inline double RelativeLuminance(double r, double g, double b)
{
    auto linear = [](double c) {
        c /= 255;
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(r) + 0.7152 * linear(g) + 0.0722 * linear(b);
}

inline double ContrastRatio(double luminanceA, double luminanceB)
{
    return (std::fmax(luminanceA, luminanceB) + 0.05) / (std::fmin(luminanceA, luminanceB) + 0.05);
}
