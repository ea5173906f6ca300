// The traffic graph's history, scale, points, place and colours.
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "dialogs/graph_colours.h"
#include "tests/native/contrast_ratio.h"
#include "dialogs/graph_place.h"
#include "dialogs/graph_scale.h"
#include "monitor/traffic_history.h"

namespace {

std::string Labels(const GraphScale& scale)
{
    std::string text;
    for (int k = 0; k <= scale.steps; ++k)
        text += (k ? "|" : "") + std::string(scale.labels[k]);
    return text;
}

// "sent/received" of each sample, oldest first.
std::string Samples(const TrafficHistory& history, HistorySpan span)
{
    RateSample out[HISTORY_POINTS];
    int n = HistorySamples(history, span, out);
    std::string text;
    for (int i = 0; i < n; ++i)
        text += (i ? " " : "") + std::to_string(out[i].sent) + "/" + std::to_string(out[i].received);
    return text;
}

std::string Repeated(const std::string& sample, int times)
{
    std::string text;
    for (int i = 0; i < times; ++i)
        text += (i ? " " : "") + sample;
    return text;
}

} // namespace

TEST(TrafficGraph, ScaleFitsTheHighestRateWithRoundSteps)
{
    const struct {
        uint64_t highest;
        uint64_t step;
        const char* labels;
    } cases[] = {
        { 0, 1024, "0|1 KB/s" },  // no traffic: the smallest scale
        { 300, 1024, "0|1 KB/s" },
        { 1024, 1024, "0|1 KB/s" },
        { 1025, 1024, "0|1 KB/s|2 KB/s" },
        { 4096, 1024, "0|1 KB/s|2 KB/s|3 KB/s|4 KB/s" },
        { 4097, 2048, "0|2 KB/s|4 KB/s|6 KB/s" },
        { 180 * 1024, 50 * 1024, "0|50 KB/s|100 KB/s|150 KB/s|200 KB/s" },
        { 800 * 1024, 200 * 1024, "0|200 KB/s|400 KB/s|600 KB/s|800 KB/s" },
        // past 800 KB/s the next round step is a whole MB/s, never "1000 KB/s"
        { 800 * 1024 + 1, 1 << 20, "0|1 MB/s" },
        { 3 << 20, 1 << 20, "0|1 MB/s|2 MB/s|3 MB/s" },
        { 125000000, 50 << 20, "0|50 MB/s|100 MB/s|150 MB/s" },  // a 1 Gbit/s spike
        { 1250000000, 1ull << 30, "0|1 GB/s|2 GB/s" },          // 10 Gbit/s
        { 30ull << 30, 10ull << 30, "0|10 GB/s|20 GB/s|30 GB/s" },
        { UINT64_MAX, 5000000000ull << 30, "0|5000000000 GB/s|10000000000 GB/s|15000000000 GB/s|20000000000 GB/s" },
    };
    for (const auto& c : cases) {
        GraphScale scale = ChooseScale(c.highest);
        EXPECT_EQ(c.step, scale.step) << c.highest;
        EXPECT_EQ(c.labels, Labels(scale)) << c.highest;
    }
}

TEST(TrafficGraph, HistoryKeepsTheLastMinuteAndTenSecondMeans)
{
    const struct {
        const char* what;
        int seconds;     // seconds added, the n-th (from 1) sending n and receiving 1000 n
        int quiet;       // then quiet seconds
        HistorySpan span;
        std::string samples;
    } cases[] = {
        { "empty", 0, 0, SPAN_MINUTE, "" },
        { "three seconds", 3, 0, SPAN_MINUTE, "1/1000 2/2000 3/3000" },
        { "under way", 3, 0, SPAN_TEN_MINUTES, "2/2000" },
        { "one step", 10, 0, SPAN_TEN_MINUTES, "5/5500" },
        { "a step and a part", 12, 0, SPAN_TEN_MINUTES, "5/5500 11/11500" },
        { "quiet part", 10, 5, SPAN_TEN_MINUTES, "5/5500 0/0" },
        { "wrapped", 62, 0, SPAN_MINUTE,
          "3/3000 4/4000 5/5000 6/6000 7/7000 8/8000 9/9000 10/10000 11/11000 12/12000 13/13000 "
          "14/14000 15/15000 16/16000 17/17000 18/18000 19/19000 20/20000 21/21000 22/22000 "
          "23/23000 24/24000 25/25000 26/26000 27/27000 28/28000 29/29000 30/30000 31/31000 "
          "32/32000 33/33000 34/34000 35/35000 36/36000 37/37000 38/38000 39/39000 40/40000 "
          "41/41000 42/42000 43/43000 44/44000 45/45000 46/46000 47/47000 48/48000 49/49000 "
          "50/50000 51/51000 52/52000 53/53000 54/54000 55/55000 56/56000 57/57000 58/58000 "
          "59/59000 60/60000 61/61000 62/62000" },
        // 601 seconds: 60 full steps and one second under way; the oldest
        // step gives way to it
        { "ten minutes wrapped", 601, 0, SPAN_TEN_MINUTES,
          "15/15500 25/25500 35/35500 45/45500 55/55500 65/65500 75/75500 85/85500 95/95500 "
          "105/105500 115/115500 125/125500 135/135500 145/145500 155/155500 165/165500 "
          "175/175500 185/185500 195/195500 205/205500 215/215500 225/225500 235/235500 "
          "245/245500 255/255500 265/265500 275/275500 285/285500 295/295500 305/305500 "
          "315/315500 325/325500 335/335500 345/345500 355/355500 365/365500 375/375500 "
          "385/385500 395/395500 405/405500 415/415500 425/425500 435/435500 445/445500 "
          "455/455500 465/465500 475/475500 485/485500 495/495500 505/505500 515/515500 "
          "525/525500 535/535500 545/545500 555/555500 565/565500 575/575500 585/585500 "
          "595/595500 601/601000" },
        { "long quiet", 5, 100000, SPAN_MINUTE, Repeated("0/0", 60) },
        { "long quiet, ten minutes", 5, 100000, SPAN_TEN_MINUTES, Repeated("0/0", 60) },
    };
    for (const auto& c : cases) {
        TrafficHistory history;
        ClearHistory(&history);
        for (int n = 1; n <= c.seconds; ++n)
            AddSecond(&history, RateSample{ uint64_t(n), uint64_t(1000) * n });
        AddQuietSeconds(&history, c.quiet);
        EXPECT_EQ(c.samples, Samples(history, c.span)) << c.what;
    }
}

TEST(TrafficGraph, PointsPutTheNewestSampleAtTheRightEdge)
{
    const RateSample samples[] = { { 0, 0 }, { 512, 1024 }, { 4096, 2048 } };
    const struct {
        const char* what;
        PlotArea area;
        bool received;
        uint64_t top;
        const char* points;
    } cases[] = {
        // a plot 59 pixels wide has a pixel per slot
        { "small, received", { 0, 0, 59, 10 }, true, 2048, "57,10 58,5 59,0" },
        { "small, sent over the top", { 0, 0, 59, 10 }, false, 2048, "57,10 58,7 59,0" },
        { "large, received", { 40, 20, 1220, 620 }, true, 4096, "1180,620 1200,470 1220,320" },
        { "large, sent", { 40, 20, 1220, 620 }, false, 4096, "1180,620 1200,545 1220,20" },
        { "no room", { 5, 5, 5, 5 }, true, 4096, "5,5 5,5 5,5" },
    };
    for (const auto& c : cases) {
        PlotPoint out[3];
        PlotPoints(samples, 3, c.received, c.top, c.area, out);
        std::string text;
        for (const PlotPoint& p : out)
            text += (text.empty() ? "" : " ") + std::to_string(p.x) + "," + std::to_string(p.y);
        EXPECT_EQ(c.points, text) << c.what;
    }
    EXPECT_EQ(4096u, HighestRate(samples, 3));
}

TEST(TrafficGraph, PlaceNearTheNotificationAreaAndOnAMonitor)
{
    const ScreenRect screen = { 0, 0, 1920, 1040 };  // above a taskbar at the bottom
    const struct {
        const char* what;
        bool saved;
        ScreenRect notifyArea;         // for the default
        int32_t x, y, width, height;  // saved, or the default's size
        ScreenRect place;
    } cases[] = {
        { "taskbar at the bottom right", false, { 1700, 1040, 1920, 1080 }, 0, 0, 400, 240,
          { 1508, 788, 1908, 1028 } },
        { "taskbar at the top", false, { 1700, 0, 1920, 40 }, 0, 0, 400, 240, { 1508, 12, 1908, 252 } },
        { "taskbar at the left", false, { 0, 900, 60, 1040 }, 0, 0, 400, 240, { 12, 788, 412, 1028 } },
        { "saved, on the screen", true, {}, 100, 200, 400, 240, { 100, 200, 500, 440 } },
        { "saved, off to the right", true, {}, 3000, 200, 400, 240, { 1520, 200, 1920, 440 } },
        { "saved, above and left", true, {}, -500, -300, 400, 240, { 0, 0, 400, 240 } },
        { "saved, larger than the screen", true, {}, 10, 10, 5000, 5000, { 0, 0, 1920, 1040 } },
        { "saved, extreme numbers", true, {}, 2147483647, -2147483647 - 1, 2147483647, -5,
          { 0, 0, 1920, 1 } },
    };
    for (const auto& c : cases) {
        ScreenRect p = c.saved ? KeepOnWorkArea(c.x, c.y, c.width, c.height, screen)
                               : DefaultGraphPlace(c.notifyArea, screen, c.width, c.height, 12);
        EXPECT_EQ(c.place.left, p.left) << c.what;
        EXPECT_EQ(c.place.top, p.top) << c.what;
        EXPECT_EQ(c.place.right, p.right) << c.what;
        EXPECT_EQ(c.place.bottom, p.bottom) << c.what;
    }
}

namespace {

// A colour as COLORREF holds it.
constexpr GraphRgb Rgb(uint32_t red, uint32_t green, uint32_t blue)
{
    return red | green << 8 | blue << 16;
}

std::string RgbText(GraphRgb colour)
{
    return std::to_string(colour & 0xff) + "," + std::to_string(colour >> 8 & 0xff) + ","
         + std::to_string(colour >> 16 & 0xff);
}

std::string ColoursText(const GraphColours& c)
{
    return "background " + RgbText(c.background) + " | text " + RgbText(c.text) + " | list text "
         + RgbText(c.listText) + " | grid " + RgbText(c.grid) + " | sent " + RgbText(c.sentLine) + " | received "
         + RgbText(c.receivedLine) + " | fill " + RgbText(c.receivedFill) + (c.hatchedFill ? " hatched" : " solid")
         + " | header " + (c.ownHeader ? RgbText(c.headerText) + " on " + RgbText(c.headerBackground) : "system's");
}

// The WCAG 2 ratio of two packed colours (red in the low byte).
double Contrast(GraphRgb a, GraphRgb b)
{
    auto luminance = [](GraphRgb c) { return RelativeLuminance(c & 0xff, c >> 8 & 0xff, c >> 16 & 0xff); };
    return ContrastRatio(luminance(a), luminance(b));
}

// Windows 10's "High Contrast Black" and "High Contrast White" schemes.
const SystemColours HC_BLACK = { Rgb(0, 0, 0), Rgb(255, 255, 255), Rgb(63, 242, 63), Rgb(26, 235, 255) };
const SystemColours HC_WHITE = { Rgb(255, 255, 255), Rgb(0, 0, 0), Rgb(96, 0, 0), Rgb(55, 0, 110) };
// What light and dark must not take from the system.
const SystemColours ODD = { Rgb(1, 2, 3), Rgb(4, 5, 6), Rgb(7, 8, 9), Rgb(10, 11, 12) };

} // namespace

TEST(TrafficGraph, LookFollowsHighContrastFirstThenTheAppsMode)
{
    const struct {
        bool highContrast, appsLight;
        GraphLook look;
    } cases[] = {
        { false, true, GRAPH_LOOK_LIGHT },
        { false, false, GRAPH_LOOK_DARK },
        { true, true, GRAPH_LOOK_HIGH_CONTRAST },
        { true, false, GRAPH_LOOK_HIGH_CONTRAST },
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.look, ChooseGraphLook(c.highContrast, c.appsLight)) << c.highContrast << c.appsLight;
}

// Red is the Setup's colour 1, yellow any other; the lamp's hues darkened
// on white, lightened on dark, each line at 3:1 or more on its background.
TEST(TrafficGraph, ColoursOfEachLookKeepTheLinesAtThreeToOne)
{
    const struct {
        const char* what;
        GraphLook look;
        int32_t send, receive;
        bool off;
        SystemColours system;
        const char* colours;
    } cases[] = {
        { "light, red sent, yellow received", GRAPH_LOOK_LIGHT, 1, 2, false, ODD,
          "background 255,255,255 | text 0,0,0 | list text 0,0,0 | grid 224,224,224 | sent 204,0,0 | "
          "received 170,128,0 | fill 255,230,128 solid | header system's" },
        { "light, yellow sent, red received", GRAPH_LOOK_LIGHT, 2, 1, false, ODD,
          "background 255,255,255 | text 0,0,0 | list text 0,0,0 | grid 224,224,224 | sent 170,128,0 | "
          "received 204,0,0 | fill 255,176,176 solid | header system's" },
        { "light, an unknown colour is yellow", GRAPH_LOOK_LIGHT, 3, 0, false, ODD,
          "background 255,255,255 | text 0,0,0 | list text 0,0,0 | grid 224,224,224 | sent 170,128,0 | "
          "received 170,128,0 | fill 255,230,128 solid | header system's" },
        { "light, monitoring off", GRAPH_LOOK_LIGHT, 1, 2, true, ODD,
          "background 255,255,255 | text 109,109,109 | list text 0,0,0 | grid 224,224,224 | sent 128,128,128 | "
          "received 128,128,128 | fill 216,216,216 solid | header system's" },
        { "dark, red sent, yellow received", GRAPH_LOOK_DARK, 1, 2, false, ODD,
          "background 32,32,32 | text 240,240,240 | list text 240,240,240 | grid 64,64,64 | sent 255,80,80 | "
          "received 191,144,0 | fill 96,72,0 solid | header 240,240,240 on 48,48,48" },
        { "dark, yellow sent, red received", GRAPH_LOOK_DARK, 2, 1, false, ODD,
          "background 32,32,32 | text 240,240,240 | list text 240,240,240 | grid 64,64,64 | sent 191,144,0 | "
          "received 255,80,80 | fill 112,32,32 solid | header 240,240,240 on 48,48,48" },
        { "dark, monitoring off", GRAPH_LOOK_DARK, 1, 2, true, ODD,
          "background 32,32,32 | text 160,160,160 | list text 240,240,240 | grid 64,64,64 | sent 150,150,150 | "
          "received 150,150,150 | fill 72,72,72 solid | header 240,240,240 on 48,48,48" },
        { "high contrast black", GRAPH_LOOK_HIGH_CONTRAST, 1, 2, false, HC_BLACK,
          "background 0,0,0 | text 255,255,255 | list text 255,255,255 | grid 63,242,63 | sent 26,235,255 | "
          "received 255,255,255 | fill 255,255,255 hatched | header system's" },
        { "high contrast black, monitoring off", GRAPH_LOOK_HIGH_CONTRAST, 1, 2, true, HC_BLACK,
          "background 0,0,0 | text 63,242,63 | list text 255,255,255 | grid 63,242,63 | sent 63,242,63 | "
          "received 63,242,63 | fill 63,242,63 hatched | header system's" },
        { "high contrast white, the Setup's colours swapped", GRAPH_LOOK_HIGH_CONTRAST, 2, 1, false, HC_WHITE,
          "background 255,255,255 | text 0,0,0 | list text 0,0,0 | grid 96,0,0 | sent 55,0,110 | "
          "received 0,0,0 | fill 0,0,0 hatched | header system's" },
    };
    for (const auto& c : cases) {
        GraphColours colours = ChooseGraphColours(c.look, c.send, c.receive, c.off, c.system);
        EXPECT_EQ(c.colours, ColoursText(colours)) << c.what;
        EXPECT_GE(Contrast(colours.sentLine, colours.background), 3.0) << c.what << ": sent";
        EXPECT_GE(Contrast(colours.receivedLine, colours.background), 3.0) << c.what << ": received";
    }
}

// The dark frame's attribute moved from 19 to 20 with Windows 10 2004.
TEST(TrafficGraph, TitleBarAsksForTheDarkFrameInTheDarkLookOnly)
{
    const struct {
        GraphLook look;
        uint32_t build;
        uint32_t attribute;
        int32_t value;
    } cases[] = {
        { GRAPH_LOOK_DARK, 19041, 20, 1 },          // Windows 10 2004
        { GRAPH_LOOK_DARK, 22631, 20, 1 },          // Windows 11 23H2
        { GRAPH_LOOK_DARK, 19040, 19, 1 },
        { GRAPH_LOOK_DARK, 17763, 19, 1 },          // Windows 10 1809
        { GRAPH_LOOK_LIGHT, 19041, 20, 0 },
        { GRAPH_LOOK_LIGHT, 18363, 19, 0 },
        { GRAPH_LOOK_HIGH_CONTRAST, 19041, 20, 0 },
        { GRAPH_LOOK_HIGH_CONTRAST, 17763, 19, 0 },
    };
    for (const auto& c : cases) {
        TitleBarRequest request = ChooseTitleBar(c.look, c.build);
        EXPECT_EQ(c.attribute, request.attribute) << c.look << " " << c.build;
        EXPECT_EQ(c.value, request.value) << c.look << " " << c.build;
    }
}
