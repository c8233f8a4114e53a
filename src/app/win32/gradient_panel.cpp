#include "app/win32/gradient_panel.h"

#include <stdexcept>

namespace telvora::app {
namespace {

// A channel of the fill's 16-bit colours. The platform interpolates them and truncates; half a
// step more than the colour (0x80 in the low byte) makes that the nearest colour instead, as in
// the design's gradient (app/pictures.h). (That gradient rounds a half to even; for this panel's
// height no row falls on a half.)
COLOR16 Channel(Rgb colour, int shift) {
    return static_cast<COLOR16>((((colour >> shift) & 0xFF) << 8) | 0x80);
}

TRIVERTEX Vertex(int x, int y, Rgb colour) {
    TRIVERTEX vertex{};
    vertex.x = x;
    vertex.y = y;
    vertex.Red = Channel(colour, 16);
    vertex.Green = Channel(colour, 8);
    vertex.Blue = Channel(colour, 0);
    return vertex;
}

}  // namespace

void FillVerticalGradient(HDC dc, int width, int height, Rgb top, Rgb bottom) {
    if (width <= 0 || height <= 0) {
        return;
    }
    // The fill's colour reaches the bottom vertex only past the rectangle's last row: rows 0 to
    // height - 2 are shaded from `top` towards `bottom`, and the last row, a rectangle of its
    // own, is `bottom` exactly (a single row is `top`).
    const Rgb last = height > 1 ? bottom : top;
    TRIVERTEX vertices[] = {Vertex(0, 0, top), Vertex(width, height - 1, bottom),
                            Vertex(0, height - 1, last), Vertex(width, height, last)};
    GRADIENT_RECT rectangles[] = {{0, 1}, {2, 3}};
    GradientFill(dc, vertices, 4, height > 1 ? rectangles : rectangles + 1, height > 1 ? 2 : 1,
                 GRADIENT_FILL_RECT_V);
}

void GradientPanel::Create(HWND parent, const design::Place& place) {
    hwnd_ = CreateOwnWindow(*this, {L"TRzPanel"}, WS_EX_CONTROLPARENT, L"",
                            WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, place.left, place.top,
                            place.width, place.height, parent, nullptr);
}

void GradientPanel::SetLabels(std::vector<Label> labels) {
    labels_ = std::move(labels);
    InvalidateRect(hwnd_, nullptr, TRUE);
}

RECT GradientPanel::LabelRect(const std::string& name) const {
    for (const Label& label : labels_) {
        if (label.name != name) {
            continue;
        }
        HDC dc = GetDC(hwnd_);
        HGDIOBJ old = SelectObject(dc, label.font);
        SIZE size{};
        GetTextExtentPoint32W(dc, label.text.c_str(), static_cast<int>(label.text.size()), &size);
        SelectObject(dc, old);
        ReleaseDC(hwnd_, dc);
        return {label.left, label.top, label.left + size.cx, label.top + size.cy};
    }
    throw std::out_of_range("no label " + name);
}

void GradientPanel::Paint(HDC dc) const {
    RECT client{};
    GetClientRect(hwnd_, &client);
    FillVerticalGradient(dc, client.right, client.bottom, kGrey, kSilver);
    const int mode = SetBkMode(dc, TRANSPARENT);
    const COLORREF colour = SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    for (const Label& label : labels_) {
        HGDIOBJ old = SelectObject(dc, label.font);
        TextOutW(dc, label.left, label.top, label.text.c_str(),
                 static_cast<int>(label.text.size()));
        SelectObject(dc, old);
    }
    SetTextColor(dc, colour);
    SetBkMode(dc, mode);
}

LRESULT GradientPanel::HandleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (HandlePainting(hwnd, message, wParam, [this](HDC dc) { Paint(dc); })) {
        return message == WM_ERASEBKGND ? 1 : 0;
    }
    switch (message) {
        case WM_COMMAND:
        case WM_NOTIFY:
        case WM_DRAWITEM:
        case WM_MEASUREITEM:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORSTATIC:
            return SendMessageW(GetParent(hwnd), message, wParam, lParam);
        default:
            return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

}  // namespace telvora::app
