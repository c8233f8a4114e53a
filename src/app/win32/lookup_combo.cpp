#include "app/win32/lookup_combo.h"

#include <windowsx.h>

#include <algorithm>

#include "app/lookup_list.h"
#include "app/win32/dpi.h"
#include "app/win32/fonts.h"
#include "platform/wide.h"

namespace telvora::app {
namespace {

constexpr int kFrame = 2;

RECT WindowRectOf(HWND hwnd) {
    RECT rect{};
    GetWindowRect(hwnd, &rect);
    return rect;
}

void DrawTextIn(HDC dc, const std::string& utf8, RECT rect) {
    const std::wstring text = platform::Wide(utf8);
    rect.left += 2;
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rect,
              DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
}

}  // namespace

LookupKeyPress ToLookupKey(WPARAM virtualKey, bool alt) {
    LookupKeyPress key;
    switch (virtualKey) {
        case VK_UP:
            key.key = LookupKey::kUp;
            break;
        case VK_DOWN:
            key.key = LookupKey::kDown;
            break;
        case VK_PRIOR:
            key.key = LookupKey::kPageUp;
            break;
        case VK_NEXT:
            key.key = LookupKey::kPageDown;
            break;
        case VK_HOME:
            key.key = LookupKey::kHome;
            break;
        case VK_END:
            key.key = LookupKey::kEnd;
            break;
        case VK_ESCAPE:
            key.key = LookupKey::kEscape;
            break;
        case VK_RETURN:
            key.key = LookupKey::kEnter;
            break;
        case VK_BACK:
            key.key = LookupKey::kBackspace;
            break;
        case VK_TAB:
            key.key = LookupKey::kTab;
            break;
        default:
            break;
    }
    key.alt = alt;
    key.control = GetKeyState(VK_CONTROL) < 0;
    return key;
}

// The list's pop-up window: it paints the rows and scrolls; its mouse input goes to the box.
class DbLookupCombo::PopupList : public MessageTarget {
  public:
    explicit PopupList(DbLookupCombo& combo) : combo_(combo) {}

    LRESULT HandleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override {
        if (HandlePainting(hwnd, message, wParam, [this](HDC dc) { combo_.PaintList(dc); })) {
            return message == WM_ERASEBKGND ? 1 : 0;
        }
        switch (message) {
            case WM_MOUSEACTIVATE:
                return MA_NOACTIVATE;  // the main window stays active, the box keeps the keys
            case WM_VSCROLL: {
                SCROLLINFO info{};
                info.cbSize = sizeof info;
                info.fMask = SIF_ALL;
                GetScrollInfo(hwnd, SB_VERT, &info);
                int top = combo_.topRow_;
                switch (LOWORD(wParam)) {
                    case SB_LINEUP:
                        --top;
                        break;
                    case SB_LINEDOWN:
                        ++top;
                        break;
                    case SB_PAGEUP:
                        top -= LookupComboModel::kDropDownRows;
                        break;
                    case SB_PAGEDOWN:
                        top += LookupComboModel::kDropDownRows;
                        break;
                    case SB_THUMBTRACK:
                    case SB_THUMBPOSITION:
                        top = info.nTrackPos;
                        break;
                    case SB_TOP:
                        top = 0;
                        break;
                    case SB_BOTTOM:
                        top = info.nMax;
                        break;
                    default:
                        break;
                }
                combo_.ScrollListTo(top);
                return 0;
            }
            // Without the box's capture (the scroll bar had it for a moment), the list's own
            // mouse messages go the same way.
            case WM_LBUTTONDOWN:
            case WM_MOUSEMOVE:
            case WM_LBUTTONUP: {
                POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
                MapWindowPoints(hwnd, combo_.hwnd_, &point, 1);
                if (message == WM_LBUTTONDOWN) {
                    combo_.MousePress(point);
                } else if (message == WM_MOUSEMOVE) {
                    combo_.MouseMove(point);
                } else {
                    combo_.MouseRelease(point);
                }
                return 0;
            }
            default:
                return DefWindowProcW(hwnd, message, wParam, lParam);
        }
    }

  private:
    DbLookupCombo& combo_;
};

DbLookupCombo::DbLookupCombo() : popupList_(std::make_unique<PopupList>(*this)) {}

DbLookupCombo::~DbLookupCombo() {
    if (popup_ != nullptr && IsWindow(popup_)) {
        DestroyWindow(popup_);
    }
}

void DbLookupCombo::Create(HWND parent, const design::Place& place, HFONT font) {
    font_ = font;
    // Each row as high as the font's character cell.
    rowHeight_ = TextHeight(font);

    hwnd_ = CreateOwnWindow(*this, {L"TRxDBLookupCombo", CS_DBLCLKS}, 0, L"", WS_CHILD | WS_VISIBLE,
                            place.left, place.top, place.width, place.height, parent, nullptr);
    popup_ = CreateOwnWindow(*popupList_, {L"TPopupDataList", CS_SAVEBITS}, WS_EX_TOOLWINDOW, L"",
                             WS_POPUP | WS_BORDER | WS_CLIPSIBLINGS, 0, 0, place.width,
                             LookupComboModel::kDropDownRows * rowHeight_ + 2,
                             GetAncestor(parent, GA_ROOT), nullptr);
}

void DbLookupCombo::SetFont(HFONT font, UINT dpi) {
    font_ = font;
    dpi_ = dpi;
    rowHeight_ = TextHeight(font);
    InvalidateRect(hwnd_, nullptr, FALSE);
}

void DbLookupCombo::SetLookupList(LookupList* list) {
    model_.SetList(list);
    ListActiveChanged();
}

void DbLookupCombo::ListActiveChanged() {
    model_.ListChanged();
    topRow_ = 0;
    InvalidateRect(hwnd_, nullptr, FALSE);
}

RECT DbLookupCombo::ButtonRect() const {
    RECT client{};
    GetClientRect(hwnd_, &client);
    const int width = SystemMetricForDpi(SM_CXVSCROLL, dpi_);
    return {client.right - kFrame - width, kFrame, client.right - kFrame, client.bottom - kFrame};
}

RECT DbLookupCombo::TextRect() const {
    RECT client{};
    GetClientRect(hwnd_, &client);
    return {kFrame, kFrame, ButtonRect().left, client.bottom - kFrame};
}

// ---- the model's view ----

void DbLookupCombo::ShowList() {
    const int rows = model_.RowCount();
    const bool scrollBar = rows >= LookupComboModel::kDropDownRows;
    LONG_PTR style = GetWindowLongPtrW(popup_, GWL_STYLE);
    style = scrollBar ? (style | WS_VSCROLL) : (style & ~static_cast<LONG_PTR>(WS_VSCROLL));
    SetWindowLongPtrW(popup_, GWL_STYLE, style);

    const RECT box = WindowRectOf(hwnd_);
    const int width = box.right - box.left;
    const int height =
        LookupComboModel::kDropDownRows * rowHeight_ + 2 * SystemMetricForDpi(SM_CYBORDER, dpi_);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(hwnd_, MONITOR_DEFAULTTONEAREST), &monitor);
    const RECT& screen = monitor.rcMonitor;
    const LookupPoint at = LookupListPosition(
        {box.left, box.top, width, box.bottom - box.top}, {0, 0, width, height},
        {screen.left, screen.top, screen.right - screen.left, screen.bottom - screen.top});
    topRow_ = 0;
    SetWindowPos(popup_, HWND_TOP, at.x, at.y, width, height,
                 SWP_NOACTIVATE | SWP_FRAMECHANGED | SWP_SHOWWINDOW);
    ScrollListTo(0);
    TakeCapture();
}

void DbLookupCombo::HideList() {
    ShowWindow(popup_, SW_HIDE);
    DropCapture();
    InvalidateRect(hwnd_, nullptr, FALSE);
}

void DbLookupCombo::HighlightChanged(int row) {
    if (row >= 0) {
        if (row < topRow_) {
            ScrollListTo(row);
        } else if (row >= topRow_ + LookupComboModel::kDropDownRows) {
            ScrollListTo(row - LookupComboModel::kDropDownRows + 1);
        }
    }
    InvalidateRect(popup_, nullptr, FALSE);
}

void DbLookupCombo::Repaint() {
    InvalidateRect(hwnd_, nullptr, FALSE);
}

void DbLookupCombo::Changed() {
    if (onChange) {
        onChange();
    }
}

void DbLookupCombo::ScrollListTo(int topRow) {
    const int rows = model_.RowCount();
    topRow_ = std::clamp(topRow, 0, std::max(0, rows - LookupComboModel::kDropDownRows));
    if (GetWindowLongPtrW(popup_, GWL_STYLE) & WS_VSCROLL) {
        SCROLLINFO info{};
        info.cbSize = sizeof info;
        // Shown from 3 rows on, also when they all fit (then disabled).
        info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
        info.nMin = 0;
        info.nMax = std::max(0, rows - 1);
        info.nPage = LookupComboModel::kDropDownRows;
        info.nPos = topRow_;
        SetScrollInfo(popup_, SB_VERT, &info, TRUE);
    }
    InvalidateRect(popup_, nullptr, FALSE);
}

void DbLookupCombo::TakeCapture() {
    if (GetCapture() != hwnd_) {
        SetCapture(hwnd_);
    }
}

void DbLookupCombo::DropCapture() {
    if (GetCapture() == hwnd_) {
        droppingCapture_ = true;
        ReleaseCapture();
        droppingCapture_ = false;
    }
}

// ---- painting ----

void DbLookupCombo::Paint(HDC target) const {
    RECT client{};
    GetClientRect(hwnd_, &client);
    // Composed off screen and copied in one step.
    HDC dc = CreateCompatibleDC(target);
    HBITMAP bitmap = CreateCompatibleBitmap(target, client.right, client.bottom);
    HGDIOBJ oldBitmap = SelectObject(dc, bitmap);

    FillRect(dc, &client, GetSysColorBrush(COLOR_WINDOW));
    RECT frame = client;
    DrawEdge(dc, &frame, EDGE_SUNKEN, BF_RECT);

    // The text area: the window colour, or the selection colours with a focus rectangle while
    // the box has the focus and its list is closed.
    const RECT text = TextRect();
    const bool selected = GetFocus() == hwnd_ && !ListOpen();
    FillRect(dc, &text, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    HGDIOBJ oldFont = SelectObject(dc, font_);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    DrawTextIn(dc, Value(), text);
    SelectObject(dc, oldFont);
    if (selected) {
        DrawFocusRect(dc, &text);
    }

    // The arrow button: pressed while the mouse is held on it, inactive while the list is not
    // open.
    RECT button = ButtonRect();
    UINT state = DFCS_SCROLLCOMBOBOX;
    if (ButtonPressed()) {
        state |= DFCS_PUSHED | DFCS_FLAT;
    }
    if (!CanDropDown()) {
        state |= DFCS_INACTIVE;
    }
    DrawFrameControl(dc, &button, DFC_SCROLL, state);

    BitBlt(target, 0, 0, client.right, client.bottom, dc, 0, 0, SRCCOPY);
    SelectObject(dc, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(dc);
}

void DbLookupCombo::PaintList(HDC dc) const {
    RECT client{};
    GetClientRect(popup_, &client);
    FillRect(dc, &client, GetSysColorBrush(COLOR_WINDOW));
    HGDIOBJ oldFont = SelectObject(dc, font_);
    SetBkMode(dc, TRANSPARENT);
    const int rows = model_.RowCount();
    for (int row = topRow_; row < rows && row < topRow_ + LookupComboModel::kDropDownRows; ++row) {
        const int top = (row - topRow_) * rowHeight_;
        RECT rect{0, top, client.right, top + rowHeight_};
        const bool highlighted = row == model_.Highlighted();
        if (highlighted) {
            FillRect(dc, &rect, GetSysColorBrush(COLOR_HIGHLIGHT));
        }
        SetTextColor(dc, GetSysColor(highlighted ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
        DrawTextIn(dc, model_.RowText(row), rect);
    }
    SelectObject(dc, oldFont);
}

// ---- input ----

int DbLookupCombo::RowAtScreen(POINT screen) const {
    if (!IsWindowVisible(popup_)) {
        return -1;
    }
    POINT point = screen;
    ScreenToClient(popup_, &point);
    RECT client{};
    GetClientRect(popup_, &client);
    if (!PtInRect(&client, point)) {
        return -1;
    }
    const int row = topRow_ + point.y / rowHeight_;
    return row < model_.RowCount() ? row : -1;
}

void DbLookupCombo::MousePress(POINT client) {
    POINT screen = client;
    ClientToScreen(hwnd_, &screen);
    if (!ListOpen()) {
        SetFocus(hwnd_);
        const RECT button = ButtonRect();
        model_.PressOnBox(PtInRect(&button, client) != 0);
        return;
    }
    const RECT list = WindowRectOf(popup_);
    if (PtInRect(&list, screen)) {
        const LRESULT hit = SendMessageW(popup_, WM_NCHITTEST, 0, MAKELPARAM(screen.x, screen.y));
        if (hit == HTVSCROLL) {
            // The scroll bar tracks the mouse itself until the button is released.
            DropCapture();
            SendMessageW(popup_, WM_NCLBUTTONDOWN, HTVSCROLL, MAKELPARAM(screen.x, screen.y));
            if (ListOpen()) {
                TakeCapture();
            }
        } else if (const int row = RowAtScreen(screen); row >= 0) {
            model_.PressOnRow(row);
        }
        return;
    }
    RECT box{};
    GetClientRect(hwnd_, &box);
    if (PtInRect(&box, client)) {
        model_.PressOnBox(false);
    } else {
        model_.PressOutsideList();
    }
}

void DbLookupCombo::MouseMove(POINT client) {
    if (!ListOpen()) {
        return;
    }
    POINT screen = client;
    ClientToScreen(hwnd_, &screen);
    if (const int row = RowAtScreen(screen); row >= 0) {
        model_.MoveOverRow(row);
    }
}

void DbLookupCombo::MouseRelease(POINT client) {
    POINT screen = client;
    ClientToScreen(hwnd_, &screen);
    const int row = ListOpen() ? RowAtScreen(screen) : -1;
    if (row >= 0) {
        model_.ReleaseOnRow(row);
    } else {
        model_.Release();
    }
    if (!ListOpen() && GetCapture() == hwnd_ && (GetKeyState(VK_LBUTTON) >= 0)) {
        DropCapture();
    }
}

LRESULT DbLookupCombo::HandleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (HandlePainting(hwnd, message, wParam, [this](HDC dc) { Paint(dc); })) {
        return message == WM_ERASEBKGND ? 1 : 0;
    }
    switch (message) {
        case WM_GETFONT:
            return reinterpret_cast<LRESULT>(font_);
        case WM_SETFOCUS:
            InvalidateRect(hwnd, nullptr, FALSE);
            return 0;
        case WM_KILLFOCUS:
            // The window lost the focus: an open list closes without a choice.
            if (ListOpen()) {
                model_.CloseUp(false);
            }
            InvalidateRect(hwnd, nullptr, FALSE);
            return 0;
        case WM_CAPTURECHANGED:
            // Someone else took the mouse (an error box ended the capture, another window):
            // the list closes without a choice, and a held button comes up.
            if (!droppingCapture_ && reinterpret_cast<HWND>(lParam) != hwnd) {
                if (ListOpen()) {
                    model_.CloseUp(false);
                } else {
                    model_.Release();
                }
            }
            return 0;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            MousePress({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
            return 0;
        case WM_MOUSEMOVE:
            MouseMove({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
            return 0;
        case WM_LBUTTONUP:
            MouseRelease({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
            return 0;
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
            if (ListOpen()) {
                model_.PressOutsideList();
            }
            return 0;
        case WM_GETDLGCODE:
            return DLGC_WANTARROWS | DLGC_WANTCHARS | (ListOpen() ? DLGC_WANTALLKEYS : 0);
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN: {
            const bool alt = message == WM_SYSKEYDOWN && (lParam & (1 << 29)) != 0;
            const LookupKeyPress key = ToLookupKey(wParam, alt);
            if (key.key != LookupKey::kOther && model_.KeyPress(key)) {
                return 0;
            }
            break;
        }
        case WM_CHAR: {
            // What the keyboard types; control characters came as their keys above.
            const auto unit = static_cast<wchar_t>(wParam);
            if (IS_HIGH_SURROGATE(unit)) {
                highSurrogate_ = unit;
                return 0;
            }
            std::wstring text;
            if (IS_LOW_SURROGATE(unit) && highSurrogate_ != 0) {
                text = {highSurrogate_, unit};
            } else if (unit >= L' ') {
                text = {unit};
            }
            highSurrogate_ = 0;
            if (!text.empty()) {
                LookupKeyPress key;
                key.text = platform::Narrow(text);
                model_.KeyPress(key);
            }
            return 0;
        }
        default:
            break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace telvora::app
