// The window-placement record: where a top-level window stands on the screen,
// in the fields of the platform's WINDOWPLACEMENT. Positions are screen pixels;
// right and bottom lie one pixel past the window.
#pragma once

namespace telvora::platform {

struct Point {
    int x = 0;
    int y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    friend bool operator==(const Rect&, const Rect&) = default;
};

// showCmd values.
inline constexpr unsigned kSwHide = 0;
inline constexpr unsigned kSwShowNormal = 1;
inline constexpr unsigned kSwShowMinimized = 2;
inline constexpr unsigned kSwShowMaximized = 3;

struct WindowPlacement {
    unsigned flags = 0;
    unsigned showCmd = kSwShowNormal;
    Point ptMinPosition{-1, -1};
    Point ptMaxPosition{-1, -1};
    Rect rcNormalPosition;  // the outer rectangle of the normal (restored) window
    friend bool operator==(const WindowPlacement&, const WindowPlacement&) = default;
};

}  // namespace telvora::platform
