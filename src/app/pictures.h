// The two pictures that the window draws itself, computed pixel for pixel in plain C++ (no
// Qt) so that they can be checked without a screen: the panel's vertical gradient and the
// progress bar. The widgets only copy these buffers to the screen.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace telvora::app {

// 0xRRGGBB
using Rgb = std::uint32_t;

inline constexpr Rgb kGrey = 0x808080;
inline constexpr Rgb kSilver = 0xC0C0C0;
inline constexpr Rgb kLime = 0x00FF00;
inline constexpr Rgb kLightGreen = 0xE1FFE1;  // stored blue-green-red as 14811105
// Pixels of this colour are copied as transparent.
inline constexpr Rgb kTransparentKey = 0xFF00FF;

struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<Rgb> pixels;  // row by row

    RgbImage() = default;
    RgbImage(int w, int h, Rgb fill);
    Rgb at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
    void set(int x, int y, Rgb colour) { pixels[static_cast<size_t>(y) * width + x] = colour; }
    // Rectangle including its left and top edge, excluding its right and bottom edge;
    // clipped to the image.
    void FillRect(int left, int top, int right, int bottom, Rgb colour);
};

// num / den rounded to the nearest whole number, a half to the even neighbour (den > 0).
long long RoundHalfEven(long long num, long long den);

// ---- the panel's gradient ----
//
// The two-vertex vertical gradient fill: the top row has exactly the top colour and the
// bottom row exactly the bottom colour; row y of h rows takes, in each channel,
// (top * (h - 1 - y) + bottom * y) / (h - 1), rounded half to even. (The platform's fill
// interpolates in 16 bits per channel and truncates, which leaves its last row one step short
// of the bottom colour; here both ends are exact, as the window's design asks.)
Rgb VerticalGradientRow(int y, int height, Rgb top, Rgb bottom);
RgbImage VerticalGradient(int width, int height, Rgb top, Rgb bottom);

// ---- the progress bar ----

struct ProgressColors {
    Rgb colour[4];  // per level: 0 below 70 %, 1 below 90 %, 2 below 100 %, 3 at 100 %
    Rgb second[4];
};
// This window's bar: lime and light green at every level.
inline constexpr ProgressColors kProgressColors{
    {kLime, kLime, kLime, kLime}, {kLightGreen, kLightGreen, kLightGreen, kLightGreen}};

// position * 100 / (maximum - minimum), rounded half to even; 0 for an empty range.
int ProgressPercent(int position, int minimum, int maximum);
int ProgressLevel(int percent);
// The right edge (exclusive) of the filled part: percent / 100 * (width - 2), rounded half
// to even. The fill runs from x = 2.
int ProgressFillEnd(int percent, int width);
// "45%"
std::string ProgressText(int percent);

struct TextOrigin {
    int left = 0;
    int top = 0;
};
// Centred on the control: left = width div 2 - textWidth div 2, top likewise.
TextOrigin ProgressTextOrigin(int width, int height, int textWidth, int textHeight);

// Whether the rounded background covers pixel (x, y). Corner ellipses of 6 x 6 leave out
// three pixels in each corner, e.g. (0,0), (1,0) and (0,1) at the top left; the outline runs
// through (2,0), (1,1), (0,2) there.
enum class RoundRectPart { Outside, Outline, Inside };
RoundRectPart RoundRectPixel(int x, int y, int width, int height);

// The picture without its text: magenta outside the rounded corners, the silver background
// with its grey outline, and the fill of the given percentage in 2 x 8 bands.
RgbImage ProgressBarPicture(int width, int height, int percent,
                            const ProgressColors& colours = kProgressColors);

// The colour of band n (0..7) of a half shaded from `start` towards `end`.
Rgb BandColour(Rgb start, Rgb end, int band);

// ---- at a display's scale ----

// The picture on a denser screen: width x height device pixels, each taking the colour of the
// picture's pixel under its centre (nearest neighbour, so the picture stays sharp and keeps its
// colours). The pictures are fixed pixel by pixel at 96 dots per inch; both shells draw them
// scaled this way.
RgbImage ScaledPicture(const RgbImage& picture, int width, int height);

}  // namespace telvora::app
