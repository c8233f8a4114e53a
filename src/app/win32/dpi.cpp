#include "app/win32/dpi.h"

#include "app/win32/proc_address.h"

namespace telvora::app {
namespace {

HMODULE User32() {
    return GetModuleHandleW(L"user32.dll");
}

}  // namespace

int ScaleForDpi(int value, UINT dpi) {
    return MulDiv(value, static_cast<int>(dpi), static_cast<int>(kDesignDpi));
}

design::Place ScaleForDpi(const design::Place& place, UINT dpi) {
    return {ScaleForDpi(place.left, dpi), ScaleForDpi(place.top, dpi),
            ScaleForDpi(place.width, dpi), ScaleForDpi(place.height, dpi)};
}

int ScreenPixelsPerInch() {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi;
}

UINT WindowDpi(HWND window) {
    using Function = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = ProcAddress<Function>(User32(), "GetDpiForWindow");
    const UINT dpi = getDpiForWindow != nullptr ? getDpiForWindow(window) : 0;
    return dpi != 0 ? dpi : static_cast<UINT>(ScreenPixelsPerInch());
}

RECT OuterRectForClient(int width, int height, DWORD style, DWORD exStyle, UINT dpi) {
    using Function = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
    static const auto adjustForDpi = ProcAddress<Function>(User32(), "AdjustWindowRectExForDpi");
    RECT outer{0, 0, width, height};
    if (adjustForDpi == nullptr || !adjustForDpi(&outer, style, FALSE, exStyle, dpi)) {
        AdjustWindowRectEx(&outer, style, FALSE, exStyle);
    }
    OffsetRect(&outer, -outer.left, -outer.top);
    return outer;
}

int SystemMetricForDpi(int index, UINT dpi) {
    using Function = int(WINAPI*)(int, UINT);
    static const auto metricForDpi = ProcAddress<Function>(User32(), "GetSystemMetricsForDpi");
    return metricForDpi != nullptr ? metricForDpi(index, dpi) : GetSystemMetrics(index);
}

bool NonClientMetricsForDpi(NONCLIENTMETRICSW& metrics, UINT dpi) {
    using Function = BOOL(WINAPI*)(UINT, UINT, void*, UINT, UINT);
    static const auto parametersForDpi =
        ProcAddress<Function>(User32(), "SystemParametersInfoForDpi");
    metrics = {};
    metrics.cbSize = sizeof metrics;
    if (parametersForDpi != nullptr &&
        parametersForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi)) {
        return true;
    }
    return SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0) != FALSE;
}

}  // namespace telvora::app
