// The panel gradient and the progress bar, pixel by pixel, without a screen.
#include "app/pictures.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <set>

namespace telvora::app {
namespace {

std::string Hex(Rgb c) {
    char text[16];
    std::snprintf(text, sizeof text, "#%06X", c);
    return text;
}

constexpr int kW = 350;
constexpr int kH = 25;

TEST(RoundHalfEvenTest, RoundsHalvesToTheEvenNeighbour) {
    struct Case {
        long long num, den, expected;
    };
    const Case cases[] = {
        {0, 8, 0},  {1, 8, 0},    {4, 8, 0},     {12, 8, 2},      {20, 8, 2},  {28, 8, 4},
        {5, 8, 1},  {11, 8, 1},   {174, 1, 174}, {1740, 10, 174}, {35, 10, 4}, {45, 10, 4},
        {-4, 8, 0}, {-12, 8, -2}, {-5, 8, -1},   {7, 2, 4},       {9, 2, 4},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RoundHalfEven(c.num, c.den), c.expected) << c.num << "/" << c.den;
    }
}

TEST(GradientTest, RunsFromGreyOnTheTopRowToSilverOnTheBottomRow) {
    const RgbImage image = VerticalGradient(373, 205, kGrey, kSilver);
    ASSERT_EQ(image.width, 373);
    ASSERT_EQ(image.height, 205);
    for (int y = 0; y < image.height; ++y) {
        const Rgb row = image.at(0, y);
        for (int x = 1; x < image.width; ++x) {
            ASSERT_EQ(image.at(x, y), row) << "row " << y << " is not one colour";
        }
        // A grey: the three channels move together.
        ASSERT_EQ(row & 0xFF, (row >> 8) & 0xFF);
        ASSERT_EQ(row & 0xFF, (row >> 16) & 0xFF);
        if (y > 0) {
            ASSERT_GE(row & 0xFF, image.at(0, y - 1) & 0xFF) << "row " << y;
            ASSERT_LE((row & 0xFF) - (image.at(0, y - 1) & 0xFF), 1u) << "row " << y;
        }
    }
    EXPECT_EQ(Hex(image.at(0, 0)), "#808080");
    EXPECT_EQ(Hex(image.at(0, 204)), "#C0C0C0");
    // Half-way (row 102 of 0..204) is exactly the middle grey.
    EXPECT_EQ(Hex(image.at(0, 102)), "#A0A0A0");
}

TEST(GradientTest, RowsOfSmallPanels) {
    struct Case {
        int y, height;
        Rgb expected;
    };
    const Case cases[] = {
        {0, 1, kGrey},      {0, 2, kGrey},      {1, 2, kSilver},
        {1, 3, 0xA0A0A0},   {1, 5, 0x909090},   {2, 5, 0xA0A0A0},
        {3, 5, 0xB0B0B0},   {1, 129, 0x808080},  // 128 + 64/128 = 128.5 -> 128 (even)
        {3, 129, 0x828282},                      // 129.5 -> 130
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Hex(VerticalGradientRow(c.y, c.height, kGrey, kSilver)), Hex(c.expected))
            << "row " << c.y << " of " << c.height;
    }
}

TEST(ProgressTest, PercentLevelFillEndAndText) {
    struct PercentCase {
        int position, minimum, maximum, expected;
    };
    const PercentCase percents[] = {{0, 0, 100, 0}, {45, 0, 100, 45}, {100, 0, 100, 100},
                                    {1, 0, 8, 12},  {3, 0, 8, 38},    {5, 0, 8, 62},
                                    {1, 0, 200, 0}, {3, 0, 200, 2},   {0, 0, 0, 0}};
    for (const auto& c : percents) {
        EXPECT_EQ(ProgressPercent(c.position, c.minimum, c.maximum), c.expected)
            << c.position << " in " << c.minimum << ".." << c.maximum;
    }
    const std::pair<int, int> levels[] = {{0, 0},  {69, 0}, {70, 1}, {89, 1},
                                          {90, 2}, {99, 2}, {100, 3}};
    for (auto [percent, level] : levels) {
        EXPECT_EQ(ProgressLevel(percent), level) << percent;
    }
    const std::pair<int, int> ends[] = {{0, 0}, {1, 3}, {25, 87}, {50, 174}, {99, 345}, {100, 348}};
    for (auto [percent, end] : ends) {
        EXPECT_EQ(ProgressFillEnd(percent, kW), end) << percent;
    }
    EXPECT_EQ(ProgressText(0), "0%");
    EXPECT_EQ(ProgressText(45), "45%");
    EXPECT_EQ(ProgressText(100), "100%");
}

TEST(ProgressTest, TextIsCentredOnTheWholeControl) {
    struct Case {
        int text_width, text_height, left, top;
    };
    const Case cases[] = {{30, 16, 160, 4}, {31, 15, 160, 5}, {0, 0, 175, 12}, {350, 25, 0, 0}};
    for (const Case& c : cases) {
        const TextOrigin origin = ProgressTextOrigin(kW, kH, c.text_width, c.text_height);
        EXPECT_EQ(origin.left, c.left) << c.text_width;
        EXPECT_EQ(origin.top, c.top) << c.text_height;
    }
}

// The background alone: what every picture shows outside its fill.
Rgb Background(int x, int y) {
    switch (RoundRectPixel(x, y, kW, kH)) {
        case RoundRectPart::Outside:
            return kTransparentKey;
        case RoundRectPart::Outline:
            return kGrey;
        case RoundRectPart::Inside:
            return kSilver;
    }
    return 0;
}

TEST(ProgressTest, RoundedCornersLeaveThreePixelsEachAndTheOutlineRunsAround) {
    const RgbImage image = ProgressBarPicture(kW, kH, 0);
    std::set<std::pair<int, int>> transparent;
    for (int y = 0; y < kH; ++y) {
        for (int x = 0; x < kW; ++x) {
            if (image.at(x, y) == kTransparentKey) {
                transparent.insert({x, y});
            }
        }
    }
    const std::set<std::pair<int, int>> corners = {{0, 0},   {1, 0},    {0, 1},    {349, 0},
                                                   {348, 0}, {349, 1},  {0, 24},   {1, 24},
                                                   {0, 23},  {349, 24}, {348, 24}, {349, 23}};
    EXPECT_EQ(transparent, corners);
    // The diagonal step of each corner and the four edges are grey.
    for (auto [x, y] : {std::pair{2, 0},
                        {1, 1},
                        {0, 2},
                        {347, 0},
                        {348, 1},
                        {349, 2},
                        {2, 24},
                        {1, 23},
                        {0, 22},
                        {347, 24},
                        {348, 23},
                        {349, 22}}) {
        EXPECT_EQ(Hex(image.at(x, y)), "#808080") << x << "," << y;
    }
    for (int x = 2; x < kW - 2; ++x) {
        ASSERT_EQ(image.at(x, 0), kGrey) << x;
        ASSERT_EQ(image.at(x, kH - 1), kGrey) << x;
    }
    for (int y = 2; y < kH - 2; ++y) {
        ASSERT_EQ(image.at(0, y), kGrey) << y;
        ASSERT_EQ(image.at(kW - 1, y), kGrey) << y;
    }
}

TEST(ProgressTest, ZeroPercentIsTheSilverBackgroundWithoutFill) {
    const RgbImage image = ProgressBarPicture(kW, kH, 0);
    for (int y = 1; y < kH - 1; ++y) {
        for (int x = 1; x < kW - 1; ++x) {
            if (RoundRectPixel(x, y, kW, kH) == RoundRectPart::Inside) {
                ASSERT_EQ(image.at(x, y), kSilver) << x << "," << y;
            }
        }
    }
}

// The colours of the filled part, row by row from y = 2: the upper half (10 rows) shades from
// light green towards lime, the lower half (11 rows) back; 8 overlapping bands each, whose
// last stops one step short of the end colour.
const Rgb kFillRows[21] = {
    0xE1FFE1, 0xC5FFC5, 0xA9FFA9, 0xA9FFA9, 0x8DFF8D, 0x70FF70,
    0x54FF54, 0x54FF54, 0x38FF38, 0x1CFF1C,  // upper half, rows 2..11
    0x00FF00, 0x1CFF1C, 0x1CFF1C, 0x38FF38, 0x54FF54, 0x54FF54,
    0x70FF70, 0x8DFF8D, 0xA9FFA9, 0xA9FFA9, 0xC5FFC5,  // lower half, rows 12..22
};

void ExpectPicture(int percent, int fill_end) {
    const RgbImage image = ProgressBarPicture(kW, kH, percent);
    for (int y = 0; y < kH; ++y) {
        for (int x = 0; x < kW; ++x) {
            const bool filled = x >= 2 && x < fill_end && y >= 2 && y < kH - 2;
            const Rgb expected = filled ? kFillRows[y - 2] : Background(x, y);
            ASSERT_EQ(Hex(image.at(x, y)), Hex(expected)) << percent << "% at " << x << "," << y;
        }
    }
}

TEST(ProgressTest, FiftyPercentFillsXFromTwoTo174) {
    ExpectPicture(50, 174);
}

TEST(ProgressTest, HundredPercentEndsTwoPixelsBeforeTheRightEdge) {
    ExpectPicture(100, 348);
}

TEST(ProgressTest, EveryLevelLooksTheSame) {
    for (int percent : {1, 69, 70, 89, 90, 99}) {
        ExpectPicture(percent, ProgressFillEnd(percent, kW));
    }
}

TEST(ProgressTest, BandsFollowTheLevelsColours) {
    ProgressColors colours = kProgressColors;
    colours.colour[1] = 0x0000FF;
    colours.second[1] = 0xFFFFFF;
    const RgbImage low = ProgressBarPicture(kW, kH, 69, colours);
    const RgbImage mid = ProgressBarPicture(kW, kH, 70, colours);
    EXPECT_EQ(Hex(low.at(2, 12)), "#00FF00");
    // Level 1: the whole fill takes its pair, from the first column on.
    EXPECT_EQ(Hex(mid.at(2, 2)), "#FFFFFF");
    EXPECT_EQ(Hex(mid.at(2, 12)), "#0000FF");
    EXPECT_EQ(Hex(mid.at(200, 11)), Hex(BandColour(0xFFFFFF, 0x0000FF, 7)));
    EXPECT_EQ(Hex(BandColour(0xFFFFFF, 0x0000FF, 4)), "#8080FF");
}

// The bar on screens of 100 %, 125 %, 150 % and 200 %: each device pixel takes the colour of the
// designed pixel under its centre, so the picture stays sharp and keeps its colours.
TEST(ScaledPictureTest, EachDevicePixelTakesTheDesignedPixelUnderItsCentre) {
    const RgbImage designed = ProgressBarPicture(kW, kH, 45);
    const struct { int width, height; } cases[] = {{kW, kH}, {438, 31}, {525, 38}, {700, 50}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.width);
        const RgbImage scaled = ScaledPicture(designed, c.width, c.height);
        ASSERT_EQ(scaled.width, c.width);
        ASSERT_EQ(scaled.height, c.height);
        for (int y = 0; y < c.height; ++y) {
            for (int x = 0; x < c.width; ++x) {
                // Where the centre of device pixel (x, y) falls, in designed pixels.
                const int fromX = static_cast<int>((x + 0.5) * kW / c.width);
                const int fromY = static_cast<int>((y + 0.5) * kH / c.height);
                ASSERT_EQ(Hex(scaled.at(x, y)), Hex(designed.at(fromX, fromY))) << x << "," << y;
            }
        }
    }
}

TEST(ScaledPictureTest, AtTwiceTheDensityEveryPixelBecomesATwoByTwoBlock) {
    const RgbImage designed = ProgressBarPicture(kW, kH, 100);
    const RgbImage scaled = ScaledPicture(designed, 2 * kW, 2 * kH);
    for (int y = 0; y < 2 * kH; ++y) {
        for (int x = 0; x < 2 * kW; ++x) {
            ASSERT_EQ(scaled.at(x, y), designed.at(x / 2, y / 2)) << x << "," << y;
        }
    }
    // The transparent corners stay transparent: the panel still shows through them.
    EXPECT_EQ(scaled.at(1, 1), kTransparentKey);
    EXPECT_EQ(scaled.at(3, 1), kTransparentKey);
    EXPECT_EQ(scaled.at(4, 1), kGrey);
}

}  // namespace
}  // namespace telvora::app
