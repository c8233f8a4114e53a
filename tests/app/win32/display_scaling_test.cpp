// The window on a scaled display, under Wine at the logical dpi of the prefix it runs in (96 in
// the suite's own prefix; 144, that is 150 %, in the prefix of the tests named "*.144dpi"):
// every place, size and font is the 96-dpi design's scaled as Windows scales a dialog, the two
// pictures are the 100 % pictures at the device's pixels, "PixelsPerInch" holds that dpi, and a
// move to a monitor of another scale (WM_DPICHANGED) lays the window out anew. Telvora.exe
// declares the per-monitor awareness that makes Windows leave the scaling to it.
#include <windows.h>
// after windows.h, which it needs
#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>

#include "app/win32/dpi.h"
#include "app/win32/fonts.h"
#include "platform/paths.h"
#include "platform/wide.h"
#include "win32_test_support.h"

#ifndef TELVORA_EXPECTED_DPI
#define TELVORA_EXPECTED_DPI 96
#endif

namespace telvora::test {
namespace {

namespace design = app::design;
using app::Rgb;
using app::RgbImage;

constexpr UINT kDpi = TELVORA_EXPECTED_DPI;

class Win32DisplayScalingTest : public MainWindowTest {
  protected:
    void SetUp() override {
        // A prefix that did not take its dpi would make every check here a check at 96.
        ASSERT_EQ(app::ScreenPixelsPerInch(), static_cast<int>(kDpi));
    }
};

// Whether `shown` is the designed picture's colour at some designed pixel within one pixel of
// where device pixel (x, y)'s centre falls (the rounding of a scale that is not whole).
bool NearDesigned(Rgb shown, const RgbImage& designed, int x, int y, UINT dpi,
                  const std::function<Rgb(Rgb, int)>& resolve = nullptr) {
    const int fromX = static_cast<int>(std::floor((x + 0.5) * app::kDesignDpi / dpi));
    const int fromY = static_cast<int>(std::floor((y + 0.5) * app::kDesignDpi / dpi));
    for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
            const int px = fromX + dx;
            const int py = fromY + dy;
            if (px < 0 || py < 0 || px >= designed.width || py >= designed.height) {
                continue;
            }
            const Rgb colour = resolve ? resolve(designed.at(px, py), py) : designed.at(px, py);
            if (colour == shown) {
                return true;
            }
        }
    }
    return false;
}

// The panel, every control and every font where the 96-dpi design scaled to `dpi` puts them.
void ExpectLaidOutFor(const app::TfrmMain& frm, UINT dpi) {
    HWND panel = frm.RzPanel1.Handle();
    const RECT panelRect = RectIn(panel, frm.Handle());
    EXPECT_EQ(panelRect.right, MulDiv(design::kClientWidth, dpi, 96));
    EXPECT_EQ(panelRect.bottom, MulDiv(design::kClientHeight, dpi, 96));
    for (const DesignedControl& c : DesignedControls(frm)) {
        SCOPED_TRACE(c.name);
        const RECT rect = RectIn(c.control, panel);
        EXPECT_EQ(rect.left, MulDiv(c.place.left, dpi, 96));
        EXPECT_EQ(rect.top, MulDiv(c.place.top, dpi, 96));
        EXPECT_EQ(rect.right - rect.left, MulDiv(c.place.width, dpi, 96));
        EXPECT_EQ(rect.bottom - rect.top, MulDiv(c.place.height, dpi, 96));
        if (c.font != nullptr) {
            const LOGFONTW font = app::FontDescription(
                reinterpret_cast<HFONT>(SendMessageW(c.control, WM_GETFONT, 0, 0)));
            EXPECT_EQ(font.lfHeight, -MulDiv(c.font->pixelHeight, dpi, 96));
        }
    }
    for (const auto& label : frm.RzPanel1.Labels()) {
        SCOPED_TRACE(label.name);
        EXPECT_EQ(app::FontDescription(label.font).lfHeight,
                  -MulDiv(design::kLabelFont.pixelHeight, dpi, 96));
    }
}

TEST(Win32DisplayScalingManifestTest, TelvoraDeclaresPerMonitorAwareness) {
    const std::wstring program = platform::PathFromUtf8(TELVORA_EXECUTABLE).wstring();
    ACTCTXW request{};
    request.cbSize = sizeof request;
    request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    request.lpSource = program.c_str();
    request.lpResourceName = MAKEINTRESOURCEW(1);
    HANDLE context = CreateActCtxW(&request);
    ASSERT_NE(context, INVALID_HANDLE_VALUE) << "Telvora.exe has no manifest of its own";
    const struct {
        const wchar_t* space;
        const wchar_t* name;
        const wchar_t* value;
    } settings[] = {
        {L"http://schemas.microsoft.com/SMI/2016/WindowsSettings", L"dpiAwareness",
         L"PerMonitorV2, PerMonitor"},
        {L"http://schemas.microsoft.com/SMI/2005/WindowsSettings", L"dpiAware", L"true/pm"},
    };
    for (const auto& setting : settings) {
        wchar_t value[128] = {};
        SIZE_T written = 0;
        EXPECT_TRUE(
            QueryActCtxSettingsW(0, context, setting.space, setting.name, value, 128, &written))
            << platform::Narrow(setting.name);
        EXPECT_EQ(std::wstring(value), setting.value);
    }
    ReleaseActCtx(context);
}

TEST_F(Win32DisplayScalingTest, ClientAreaControlsAndFontsAreTheDesignScaled) {
    app::TfrmMain& frm = ShowWindow();
    EXPECT_EQ(frm.Dpi(), kDpi);
    // 373 x 205 at 96 dpi; at 144, 559.5 x 307.5 rounded as MulDiv rounds.
    const struct {
        UINT dpi;
        int width, height;
    } clients[] = {{96, 373, 205}, {144, 560, 308}};
    for (const auto& expected : clients) {
        if (expected.dpi == kDpi) {
            RECT client{};
            GetClientRect(frm.Handle(), &client);
            EXPECT_EQ(client.right, expected.width);
            EXPECT_EQ(client.bottom, expected.height);
        }
    }
    // The first place is the design's point on the primary monitor's scale.
    RECT outer{};
    GetWindowRect(frm.Handle(), &outer);
    EXPECT_EQ(outer.left, MulDiv(design::kFirstLeft, kDpi, 96));
    EXPECT_EQ(outer.top, MulDiv(design::kFirstTop, kDpi, 96));

    ExpectLaidOutFor(frm, kDpi);
    const RECT label1 = frm.RzPanel1.LabelRect("Label1");
    EXPECT_EQ(label1.left, MulDiv(design::kLabel1.left, kDpi, 96));
    EXPECT_EQ(label1.top, MulDiv(design::kLabel1.top, kDpi, 96));
    // The status bar's one panel, 50 pixels wide as designed.
    int right = 0;
    SendMessageW(frm.StatusBar, SB_GETPARTS, 1, reinterpret_cast<LPARAM>(&right));
    EXPECT_EQ(right, MulDiv(design::kStatusPanelWidth, kDpi, 96));
}

TEST_F(Win32DisplayScalingTest, PicturesAreTheDesignedOnesAtTheDevicesPixels) {
    app::TfrmMain& frm = ShowWindow();
    const RgbImage gradient = app::VerticalGradient(373, 205, app::kGrey, app::kSilver);
    const RgbImage printed = PrintPanel(frm.RzPanel1.Handle());
    ASSERT_EQ(printed.width, MulDiv(373, kDpi, 96));
    ASSERT_EQ(printed.height, MulDiv(205, kDpi, 96));
    EXPECT_EQ(printed.at(printed.width / 2, 0), app::kGrey);
    EXPECT_EQ(printed.at(printed.width / 2, printed.height - 1), app::kSilver);
    // A column clear of the labels, every row.
    for (int y = 0; y < printed.height; ++y) {
        ASSERT_TRUE(NearDesigned(printed.at(2, y), gradient, 2, y, kDpi)) << y;
    }

    HWND bar = frm.ProgressBar.Handle();
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(bar, WM_GETFONT, 0, 0));
    EXPECT_EQ(app::FontDescription(font).lfHeight, -MulDiv(13, kDpi, 96));
    const RECT place = RectIn(bar, frm.RzPanel1.Handle());
    // Where the designed bar is transparent, the panel under it shows: the gradient's row there.
    const auto resolve = [&](Rgb designed, int designedY) {
        return designed == app::kTransparentKey
                   ? gradient.at(0, std::min(MulDiv(place.top, 96, kDpi) + designedY, 204))
                   : designed;
    };
    for (int position : {0, 50, 100}) {
        SCOPED_TRACE(position);
        frm.ProgressBar.SetPosition(position);
        Pump(&frm);
        const RgbImage shown = CaptureClient(bar);
        ASSERT_EQ(shown.width, MulDiv(350, kDpi, 96));
        ASSERT_EQ(shown.height, MulDiv(25, kDpi, 96));
        const RgbImage designed = app::ProgressBarPicture(350, 25, position);
        const RECT textBox = ProgressTextBox(bar, position);
        for (int y = 0; y < shown.height; ++y) {
            for (int x = 0; x < shown.width; ++x) {
                const POINT at{x, y};
                if (!PtInRect(&textBox, at)) {
                    ASSERT_TRUE(NearDesigned(shown.at(x, y), designed, x, y, kDpi, resolve))
                        << x << "," << y;
                }
            }
        }
    }
}

// A settings file saved at this dpi brings the place back; one saved at another does not.
TEST_F(Win32DisplayScalingTest, PixelsPerInchSavedIsTheDpiAndOnlyItRestoresThePlace) {
    ShowWindow();
    SendMessageW(window->Handle(), WM_CLOSE, 0, 0);
    window.reset();
    Pump();
    const std::filesystem::path ini = dir.path() / "Telvora.ini";
    const std::string saved = ReadFileBytes(ini);
    EXPECT_NE(saved.find("\r\nPixelsPerInch=" + std::to_string(kDpi) + "\r\n"), std::string::npos)
        << saved;

    const struct {
        UINT stored;
        bool restored;
    } cases[] = {{kDpi, true}, {kDpi == 96 ? 144u : 96u, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored);
        WriteFileBytes(ini, "[TfrmMain]\r\nPixelsPerInch=" + std::to_string(c.stored) +
                                "\r\nNormPos=120,140,0,0\r\n");
        ShowWindow();
        RECT outer{};
        GetWindowRect(window->Handle(), &outer);
        EXPECT_EQ(outer.left == 120 && outer.top == 140, c.restored);
        window.reset();
        Pump();
    }
}

// Windows sends WM_DPICHANGED when the window moves to a monitor of another scale (Wine 8 has
// one dpi for all monitors and never does: the message is sent here as Windows would).
TEST_F(Win32DisplayScalingTest, AMoveToAnotherScaleTakesTheSuggestedRectangleAndLaysOutAnew) {
    app::TfrmMain& frm = ShowWindow();
    const LONG_PTR style = GetWindowLongPtrW(frm.Handle(), GWL_STYLE);
    const LONG_PTR exStyle = GetWindowLongPtrW(frm.Handle(), GWL_EXSTYLE);
    for (UINT dpi : {120u, 192u, kDpi}) {
        SCOPED_TRACE(dpi);
        RECT suggested =
            app::OuterRectForClient(MulDiv(373, dpi, 96), MulDiv(205, dpi, 96),
                                    static_cast<DWORD>(style), static_cast<DWORD>(exStyle), dpi);
        OffsetRect(&suggested, 300, 200);
        SendMessageW(frm.Handle(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                     reinterpret_cast<LPARAM>(&suggested));
        Pump(&frm);
        EXPECT_EQ(frm.Dpi(), dpi);
        RECT outer{};
        GetWindowRect(frm.Handle(), &outer);
        EXPECT_TRUE(EqualRect(&outer, &suggested));
        ExpectLaidOutFor(frm, dpi);
        EXPECT_GE(frm.CheckListBox1.ItemHeight(), MulDiv(app::CheckListBox::kCheckSize, dpi, 96));
    }
}

}  // namespace
}  // namespace telvora::test
