#include "app/win32/progress_bar.h"

#include <algorithm>
#include <cstdint>
#include <string>

#include "app/win32/offscreen_picture.h"
#include "platform/wide.h"

namespace telvora::app {

void RoundProgressBar::Create(HWND parent, const design::Place& place, HFONT font) {
    font_ = font;
    designed_ = place;
    hwnd_ = CreateOwnWindow(*this, {L"TRoundProgressBar"}, 0, L"", WS_CHILD | WS_VISIBLE,
                            place.left, place.top, place.width, place.height, parent, nullptr);
}

void RoundProgressBar::SetFont(HFONT font) {
    font_ = font;
    InvalidateRect(hwnd_, nullptr, FALSE);
}

void RoundProgressBar::SetPosition(int position) {
    position = std::clamp(position, Minimum(), Maximum());
    if (position == position_) {
        return;
    }
    position_ = position;
    // The run holds the thread: paint now, not when the queue is next served.
    RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

int RoundProgressBar::Percent() const {
    return ProgressPercent(position_, Minimum(), Maximum());
}

void RoundProgressBar::Paint(HDC dc) const {
    RECT client{};
    GetClientRect(hwnd_, &client);
    const int width = client.right;
    const int height = client.bottom;
    OffscreenPicture picture(dc, width, height);
    if (!picture.Valid()) {
        return;
    }
    // What shows through the rounded corners: the panel under the bar.
    HWND parent = GetParent(hwnd_);
    POINT origin{0, 0};
    MapWindowPoints(hwnd_, parent, &origin, 1);
    POINT former{};
    SetViewportOrgEx(picture.Dc(), -origin.x, -origin.y, &former);
    SendMessageW(parent, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(picture.Dc()), PRF_CLIENT);
    SetViewportOrgEx(picture.Dc(), former.x, former.y, nullptr);
    GdiFlush();

    // The computed picture at the control's device pixels, its magenta copied as transparent.
    const int percent = Percent();
    const RgbImage bar = ScaledPicture(
        ProgressBarPicture(designed_.width, designed_.height, percent), width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const Rgb colour = bar.at(x, y);
            if (colour != kTransparentKey) {
                picture.Pixel(x, y) = colour;
            }
        }
    }

    const std::wstring text = platform::Wide(ProgressText(percent));
    HGDIOBJ oldFont = SelectObject(picture.Dc(), font_);
    SIZE size{};
    GetTextExtentPoint32W(picture.Dc(), text.c_str(), static_cast<int>(text.size()), &size);
    const TextOrigin at = ProgressTextOrigin(width, height, size.cx, size.cy);
    SetBkMode(picture.Dc(), TRANSPARENT);
    SetTextColor(picture.Dc(), GetSysColor(COLOR_WINDOWTEXT));
    TextOutW(picture.Dc(), at.left, at.top, text.c_str(), static_cast<int>(text.size()));
    SelectObject(picture.Dc(), oldFont);

    BitBlt(dc, 0, 0, width, height, picture.Dc(), 0, 0, SRCCOPY);
}

LRESULT RoundProgressBar::HandleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (HandlePainting(hwnd, message, wParam, [this](HDC dc) { Paint(dc); })) {
        return message == WM_ERASEBKGND ? 1 : 0;
    }
    if (message == WM_GETFONT) {
        return reinterpret_cast<LRESULT>(font_);
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace telvora::app
