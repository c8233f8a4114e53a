// A picture composed off screen: a top-down 32-bit DIB section selected into a memory device
// context, whose pixels can be written and read directly (0x00RRGGBB, as app/pictures.h's
// colours) and which is then copied onto a window in one step.
#pragma once

#include <windows.h>

#include <cstdint>

#include "app/pictures.h"

namespace telvora::app {

class OffscreenPicture {
  public:
    OffscreenPicture(HDC like, int width, int height) : width_(width), height_(height) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        dc_ = CreateCompatibleDC(like);
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits_, nullptr, 0);
        old_ = SelectObject(dc_, bitmap_);
    }
    ~OffscreenPicture() {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    OffscreenPicture(const OffscreenPicture&) = delete;
    OffscreenPicture& operator=(const OffscreenPicture&) = delete;

    bool Valid() const { return bits_ != nullptr; }
    HDC Dc() const { return dc_; }
    int Width() const { return width_; }
    int Height() const { return height_; }

    // Blue in the lowest byte, as the DIB stores it; GDI's drawing must be flushed first
    // (GdiFlush) before its pixels are read.
    std::uint32_t& Pixel(int x, int y) {
        return static_cast<std::uint32_t*>(bits_)[static_cast<std::size_t>(y) * width_ + x];
    }

    RgbImage Image() {
        GdiFlush();
        RgbImage image(width_, height_, 0);
        for (int y = 0; y < height_; ++y) {
            for (int x = 0; x < width_; ++x) {
                image.set(x, y, Pixel(x, y) & 0xFFFFFF);
            }
        }
        return image;
    }

  private:
    int width_;
    int height_;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
    void* bits_ = nullptr;
};

}  // namespace telvora::app
