// The lamps as the build draws them (scripts/make_icons.py into the build's
// res/icons): every image of every icon file, each size and colour depth,
// keeps at least 80 % of its outline at a contrast of 3:1 or more to each
// background its set is drawn for, and the body keeps the lamp's colour.
// The files are read and the contrast is measured here, independently of the
// script.
#include <gtest/gtest.h>
#include <algorithm>
#include <array>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>
#include "tests/native/contrast_ratio.h"

namespace {

// Red, green, blue, 0 to 255.
using Rgb = std::array<int, 3>;

struct Image {
    int size = 0, bits = 0;
    std::vector<Rgb> colour;  // top-down rows
    std::vector<int> alpha;   // 0 where the AND mask or the alpha leaves the pixel out
};

uint32_t Le(const std::vector<uint8_t>& d, size_t at, int bytes)
{
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = v << 8 | d.at(at + i);
    return v;
}

// Every image of an .ico file: 32-bit BGRA or 4-bit palette bitmaps, each
// with its AND mask, as Windows reads them.
std::vector<Image> ReadIco(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    const std::vector<uint8_t> d((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::vector<Image> images;
    if (d.size() < 6 || Le(d, 0, 2) != 0 || Le(d, 2, 2) != 1)
        return images;
    for (uint32_t n = 0; n < Le(d, 4, 2); ++n) {
        size_t at = Le(d, 6 + 16 * n + 12, 4);
        Image image;
        image.size = static_cast<int>(Le(d, at + 4, 4));
        image.bits = static_cast<int>(Le(d, at + 14, 2));
        const int size = image.size;
        size_t pixels = at + Le(d, at, 4);
        std::vector<Rgb> palette;
        if (image.bits == 4) {
            for (int i = 0; i < 16; ++i)
                palette.push_back({ d.at(pixels + 4 * i + 2), d.at(pixels + 4 * i + 1), d.at(pixels + 4 * i) });
            pixels += 64;
        }
        const size_t stride = (size * image.bits + 31) / 32 * 4;
        const size_t mask = pixels + stride * size, maskStride = (size + 31) / 32 * 4;
        for (int y = 0; y < size; ++y) {
            const size_t row = pixels + (size - 1 - y) * stride, maskRow = mask + (size - 1 - y) * maskStride;
            for (int x = 0; x < size; ++x) {
                int alpha = 255;
                if (image.bits == 32) {
                    image.colour.push_back({ d.at(row + 4 * x + 2), d.at(row + 4 * x + 1), d.at(row + 4 * x) });
                    alpha = d.at(row + 4 * x + 3);
                } else {
                    image.colour.push_back(palette.at(d.at(row + x / 2) >> (x % 2 ? 0 : 4) & 15));
                }
                if (d.at(maskRow + x / 8) >> (7 - x % 8) & 1)
                    alpha = 0;
                image.alpha.push_back(alpha);
            }
        }
        images.push_back(image);
    }
    return images;
}

// The share of outline pixels (not transparent, and beside a transparent
// pixel or on the image's border) that, laid over the background with their
// alpha, stand at 3:1 or more to it.
double OutlineShare(const Image& image, Rgb background)
{
    const int size = image.size;
    auto clear = [&](int x, int y) { return image.alpha[y * size + x] == 0; };
    const double backgroundLuminance = RelativeLuminance(background[0], background[1], background[2]);
    int outline = 0, standing = 0;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            if (clear(x, y))
                continue;
            if (x > 0 && y > 0 && x < size - 1 && y < size - 1 && !clear(x - 1, y) && !clear(x + 1, y) &&
                !clear(x, y - 1) && !clear(x, y + 1))
                continue;
            const Rgb c = image.colour[y * size + x];
            const double a = image.alpha[y * size + x] / 255.0;
            const double l = RelativeLuminance(c[0] * a + background[0] * (1 - a), c[1] * a + background[1] * (1 - a),
                                               c[2] * a + background[2] * (1 - a));
            ++outline;
            standing += ContrastRatio(l, backgroundLuminance) >= 3.0;
        }
    }
    return outline ? static_cast<double>(standing) / outline : 0.0;
}

// The colour most pixels of the opaque part have.
Rgb MostFrequentOpaque(const Image& image)
{
    std::map<Rgb, int> counts;
    for (size_t i = 0; i < image.colour.size(); ++i)
        if (image.alpha[i] == 255)
            ++counts[image.colour[i]];
    const auto most = std::max_element(counts.begin(), counts.end(),
                                       [](const auto& a, const auto& b) { return a.second < b.second; });
    return most == counts.end() ? Rgb{ -1, -1, -1 } : most->first;
}

}  // namespace

TEST(LampImages, OutlinesStandOnTheirBackgroundsAndBodiesKeepTheirColour)
{
    const Rgb light{ 0xF3, 0xF3, 0xF3 }, lightGrey{ 0xE0, 0xE0, 0xE0 };
    const Rgb dark{ 0x20, 0x20, 0x20 }, darker{ 0x10, 0x10, 0x10 };
    const Rgb white{ 255, 255, 255 }, black{ 0, 0, 0 };
    const Rgb purple{ 128, 0, 128 }, blue{ 0, 0, 255 }, yellow{ 255, 255, 0 }, red{ 255, 0, 0 };
    const struct {
        const char* file;
        std::vector<Rgb> backgrounds;
        Rgb body;  // of the 32 px 32-bit image
    } rows[] = {
        { "stopped.ico", { light, lightGrey }, purple },
        { "idle.ico", { light, lightGrey }, blue },
        { "yellow.ico", { light, lightGrey }, yellow },
        { "red.ico", { light, lightGrey }, red },
        { "dark-stopped.ico", { dark, darker }, purple },
        { "dark-idle.ico", { dark, darker }, blue },
        { "dark-yellow.ico", { dark, darker }, yellow },
        { "dark-red.ico", { dark, darker }, red },
        { "shape-stopped.ico", { light, lightGrey }, purple },
        { "shape-idle.ico", { light, lightGrey }, blue },
        { "shape-sent-yellow.ico", { light, lightGrey }, yellow },
        { "shape-sent-red.ico", { light, lightGrey }, red },
        { "shape-recv-yellow.ico", { light, lightGrey }, yellow },
        { "shape-recv-red.ico", { light, lightGrey }, red },
        { "dark-shape-stopped.ico", { dark, darker }, purple },
        { "dark-shape-idle.ico", { dark, darker }, blue },
        { "dark-shape-sent-yellow.ico", { dark, darker }, yellow },
        { "dark-shape-sent-red.ico", { dark, darker }, red },
        { "dark-shape-recv-yellow.ico", { dark, darker }, yellow },
        { "dark-shape-recv-red.ico", { dark, darker }, red },
        { "hc-dark-stopped.ico", { white }, black },
        { "hc-dark-idle.ico", { white }, black },
        { "hc-dark-sent.ico", { white }, black },
        { "hc-dark-recv.ico", { white }, black },
        { "hc-light-stopped.ico", { black }, white },
        { "hc-light-idle.ico", { black }, white },
        { "hc-light-sent.ico", { black }, white },
        { "hc-light-recv.ico", { black }, white },
    };
    // 16 colours at 32 and 16 px, then 32-bit from 16 to 48 px.
    const std::vector<std::pair<int, int>> sizes = { { 32, 4 },  { 16, 4 },  { 16, 32 }, { 20, 32 },
                                                     { 24, 32 }, { 32, 32 }, { 40, 32 }, { 48, 32 } };
    for (const auto& row : rows) {
        const std::vector<Image> images = ReadIco(std::string(NETGLOW_ICONS "/") + row.file);
        std::vector<std::pair<int, int>> found;
        for (const Image& image : images) {
            found.push_back({ image.size, image.bits });
            for (const Rgb& background : row.backgrounds)
                EXPECT_GE(OutlineShare(image, background), 0.8)
                    << row.file << " " << image.size << " px " << image.bits << "-bit on " << testing::PrintToString(background);
            if (image.size == 32 && image.bits == 32) {
                EXPECT_EQ(row.body, MostFrequentOpaque(image)) << row.file;
            }
        }
        EXPECT_EQ(sizes, found) << row.file;
    }
}
