// Display scaling. The window is designed in pixels at 96 dots per inch (app/window_design.h);
// every position, size and font is scaled by the logical dpi of the monitor the window stands
// on, as Windows scales a 96-dpi dialog. The per-monitor functions exist from Windows 10 1607
// on and are looked up at run time; on Windows 7 and 8 the screen's one dpi stands in.
#pragma once

#include <windows.h>

#include "app/window_design.h"

namespace telvora::app {

inline constexpr UINT kDesignDpi = 96;

// value * dpi / 96, rounded as MulDiv rounds (a half away from zero).
int ScaleForDpi(int value, UINT dpi);
design::Place ScaleForDpi(const design::Place& place, UINT dpi);

// The screen's logical pixels per inch, vertical (GetDeviceCaps LOGPIXELSY): the system's dpi.
int ScreenPixelsPerInch();
// The dpi of the monitor the window stands on (GetDpiForWindow), else the screen's.
UINT WindowDpi(HWND window);

// The outer rectangle of a window of that style whose client area is width x height at `dpi`
// (AdjustWindowRectExForDpi, else AdjustWindowRectEx), with its top-left corner at (0, 0).
RECT OuterRectForClient(int width, int height, DWORD style, DWORD exStyle, UINT dpi);
// GetSystemMetricsForDpi, else GetSystemMetrics.
int SystemMetricForDpi(int index, UINT dpi);
// The status bar's and the other non-client fonts at `dpi` (SystemParametersInfoForDpi, else
// SystemParametersInfoW); false when neither answers.
bool NonClientMetricsForDpi(NONCLIENTMETRICSW& metrics, UINT dpi);

}  // namespace telvora::app
