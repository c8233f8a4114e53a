// What the screen shows of the two pictures the window draws itself, read back from the X
// server under Wine: the panel's gradient and the progress bar are the core's pictures
// (app/pictures.h) pixel for pixel, the bar's rounded corners show the panel under them, and
// only the percentage's own box differs.
#include <gtest/gtest.h>

#include <vector>

#include "app/pictures.h"
#include "platform/wide.h"
#include "win32_test_support.h"

namespace telvora::test {
namespace {

using app::Rgb;
using app::RgbImage;

class Win32PicturesTest : public MainWindowTest {};

TEST_F(Win32PicturesTest, PanelGradientIsTheDesignedOneWithExactEndRows) {
    app::TfrmMain& frm = ShowWindow();
    const RgbImage printed = PrintPanel(frm.RzPanel1.Handle());
    const RgbImage expected = app::VerticalGradient(373, 205, app::kGrey, app::kSilver);
    ASSERT_EQ(printed.width, 373);
    ASSERT_EQ(printed.height, 205);
    EXPECT_EQ(printed.at(200, 0), app::kGrey);
    EXPECT_EQ(printed.at(200, 204), app::kSilver);
    // Away from the labels, every pixel (their places asked once: each asks the window).
    std::vector<RECT> labels;
    for (const auto& label : frm.RzPanel1.Labels()) {
        labels.push_back(frm.RzPanel1.LabelRect(label.name));
    }
    int compared = 0;
    for (int y = 0; y < 205; ++y) {
        for (int x = 0; x < 373; ++x) {
            bool onLabel = false;
            for (const RECT& r : labels) {
                onLabel = onLabel || (x >= r.left && x < r.right && y >= r.top && y < r.bottom);
            }
            if (!onLabel) {
                ASSERT_EQ(printed.at(x, y), expected.at(x, y)) << x << "," << y;
                ++compared;
            }
        }
    }
    EXPECT_GT(compared, 70000);

    // On the screen, where no control covers the panel: its left and right margins.
    const RgbImage shown = CaptureClient(frm.Handle());
    for (int y = 0; y < 186; ++y) {
        for (int x : {0, 7, 366, 372}) {
            ASSERT_EQ(shown.at(x, y), expected.at(x, y)) << x << "," << y;
        }
    }
}

TEST_F(Win32PicturesTest, ProgressBarShowsTheCorePictureWithThePanelInItsCorners) {
    app::TfrmMain& frm = ShowWindow();
    HWND bar = frm.ProgressBar.Handle();
    const RECT place = RectIn(bar, frm.RzPanel1.Handle());
    for (int position : {0, 1, 45, 50, 69, 70, 90, 99, 100}) {
        SCOPED_TRACE(position);
        frm.ProgressBar.SetPosition(position);
        Pump(&frm);
        const RgbImage shown = CaptureClient(bar);
        const RgbImage picture = app::ProgressBarPicture(350, 25, position);
        const RECT textBox = ProgressTextBox(bar, position);
        int textPixels = 0;
        for (int y = 0; y < 25; ++y) {
            for (int x = 0; x < 350; ++x) {
                const POINT at{x, y};
                const bool inText = PtInRect(&textBox, at) != FALSE;
                const Rgb designed = picture.at(x, y);
                const Rgb expected =
                    designed == app::kTransparentKey
                        ? app::VerticalGradientRow(place.top + y, 205, app::kGrey, app::kSilver)
                        : designed;
                if (inText) {
                    textPixels += shown.at(x, y) != expected;
                } else {
                    ASSERT_EQ(shown.at(x, y), expected) << x << "," << y;
                }
            }
        }
        EXPECT_GT(textPixels, 10) << "the percentage is drawn";
    }
}

}  // namespace
}  // namespace telvora::test
