#include "app/pictures.h"

#include <algorithm>

namespace telvora::app {
namespace {

int Channel(Rgb colour, int shift) {
    return static_cast<int>((colour >> shift) & 0xFF);
}

Rgb MakeRgb(long long r, long long g, long long b) {
    auto clamp = [](long long v) { return static_cast<Rgb>(std::clamp<long long>(v, 0, 255)); };
    return (clamp(r) << 16) | (clamp(g) << 8) | clamp(b);
}

// Fills one half of the bar's filled part in its eight bands.
void FillHalf(RgbImage& image, int left, int right, int top, int bottom, Rgb start, Rgb end) {
    const int height = bottom - top;
    if (height <= 0) {
        return;
    }
    const int band_height = height / 8 + 1;
    for (int n = 0; n < 8; ++n) {
        const int band_top = top + static_cast<int>(RoundHalfEven(1LL * n * height, 8));
        const int band_bottom = std::min(band_top + band_height, bottom);
        image.FillRect(left, band_top, right, band_bottom, BandColour(start, end, n));
    }
}

}  // namespace

RgbImage::RgbImage(int w, int h, Rgb fill)
    : width(w), height(h), pixels(static_cast<size_t>(std::max(w, 0)) * std::max(h, 0), fill) {}

void RgbImage::FillRect(int left, int top, int right, int bottom, Rgb colour) {
    left = std::max(left, 0);
    top = std::max(top, 0);
    right = std::min(right, width);
    bottom = std::min(bottom, height);
    for (int y = top; y < bottom; ++y) {
        std::fill(pixels.begin() + static_cast<long>(y) * width + left,
                  pixels.begin() + static_cast<long>(y) * width + right, colour);
    }
}

long long RoundHalfEven(long long num, long long den) {
    long long quotient = num / den;
    long long remainder = num % den;
    if (remainder < 0) {  // floor division
        remainder += den;
        quotient -= 1;
    }
    const long long twice = 2 * remainder;
    if (twice > den || (twice == den && quotient % 2 != 0)) {
        quotient += 1;
    }
    return quotient;
}

Rgb VerticalGradientRow(int y, int height, Rgb top, Rgb bottom) {
    if (height <= 1) {
        return top;
    }
    const long long span = height - 1;
    auto mix = [&](int shift) {
        return RoundHalfEven(
            1LL * Channel(top, shift) * (span - y) + 1LL * Channel(bottom, shift) * y, span);
    };
    return MakeRgb(mix(16), mix(8), mix(0));
}

RgbImage VerticalGradient(int width, int height, Rgb top, Rgb bottom) {
    RgbImage image(width, height, top);
    for (int y = 0; y < height; ++y) {
        image.FillRect(0, y, width, y + 1, VerticalGradientRow(y, height, top, bottom));
    }
    return image;
}

int ProgressPercent(int position, int minimum, int maximum) {
    const long long range = 1LL * maximum - minimum;
    if (range == 0) {
        return 0;
    }
    long long num = 1LL * position * 100;
    long long den = range;
    if (den < 0) {
        num = -num;
        den = -den;
    }
    return static_cast<int>(RoundHalfEven(num, den));
}

int ProgressLevel(int percent) {
    if (percent < 70) {
        return 0;
    }
    if (percent < 90) {
        return 1;
    }
    if (percent < 100) {
        return 2;
    }
    return 3;
}

int ProgressFillEnd(int percent, int width) {
    return static_cast<int>(RoundHalfEven(1LL * percent * (width - 2), 100));
}

std::string ProgressText(int percent) {
    return std::to_string(percent) + "%";
}

TextOrigin ProgressTextOrigin(int width, int height, int textWidth, int textHeight) {
    return {width / 2 - textWidth / 2, height / 2 - textHeight / 2};
}

RoundRectPart RoundRectPixel(int x, int y, int width, int height) {
    if (x < 0 || y < 0 || x >= width || y >= height) {
        return RoundRectPart::Outside;
    }
    // Distance into the nearest corner, mirrored onto the top-left one.
    const int cx = std::min(x, width - 1 - x);
    const int cy = std::min(y, height - 1 - y);
    if (cx + cy < 2) {
        return RoundRectPart::Outside;
    }
    if (cx + cy == 2 && cx < 3 && cy < 3) {
        return RoundRectPart::Outline;
    }
    if (cx == 0 || cy == 0) {
        return RoundRectPart::Outline;
    }
    return RoundRectPart::Inside;
}

Rgb BandColour(Rgb start, Rgb end, int band) {
    auto mix = [&](int shift) {
        const int s = Channel(start, shift);
        const int e = Channel(end, shift);
        return RoundHalfEven(8LL * s + 1LL * band * (e - s), 8);
    };
    return MakeRgb(mix(16), mix(8), mix(0));
}

RgbImage ProgressBarPicture(int width, int height, int percent, const ProgressColors& colours) {
    RgbImage image(width, height, kTransparentKey);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            switch (RoundRectPixel(x, y, width, height)) {
                case RoundRectPart::Outline:
                    image.set(x, y, kGrey);
                    break;
                case RoundRectPart::Inside:
                    image.set(x, y, kSilver);
                    break;
                case RoundRectPart::Outside:
                    break;
            }
        }
    }
    if (percent > 0) {
        const int level = ProgressLevel(percent);
        const Rgb colour = colours.colour[level];
        const Rgb second = colours.second[level];
        const int right = ProgressFillEnd(percent, width);
        const int top = 2;
        const int middle = 2 + (height - 4) / 2;
        const int bottom = height - 2;
        FillHalf(image, 2, right, top, middle, second, colour);
        FillHalf(image, 2, right, middle, bottom, colour, second);
    }
    return image;
}

RgbImage ScaledPicture(const RgbImage& picture, int width, int height) {
    if (width == picture.width && height == picture.height) {
        return picture;
    }
    RgbImage scaled(width, height, 0);
    if (picture.width <= 0 || picture.height <= 0) {
        return scaled;
    }
    // Device pixel x covers [x, x + 1); its centre x + 1/2 lies on picture pixel
    // (2x + 1) * picture.width / (2 * width).
    for (int y = 0; y < height; ++y) {
        const int from_y = static_cast<int>((2LL * y + 1) * picture.height / (2LL * height));
        for (int x = 0; x < width; ++x) {
            const int from_x = static_cast<int>((2LL * x + 1) * picture.width / (2LL * width));
            scaled.set(x, y, picture.at(from_x, from_y));
        }
    }
    return scaled;
}

}  // namespace telvora::app
