// The progress bar on a screen of twice the density (QT_SCALE_FACTOR=2, set before the
// application starts): the picture keeps its pixels as fixed at 1x, each covering 2 x 2
// device pixels, and the percentage is drawn at the screen's density, not as an upscaled
// 1x bitmap.
#include <gtest/gtest.h>

#include <QImage>

#include "app/message_box.h"
#include "app/pictures.h"
#include "app/qt/main_window.h"
#include "app/qt/progress_bar.h"
#include "app_test_support.h"

namespace telvora::app {
namespace {

class ScaleFactorTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        qputenv("QT_SCALE_FACTOR", "2");
        test::QtApp();
    }

    void SetUp() override {
        window = std::make_unique<TfrmMain>(test::SmallLoggerWindow(dir.path()));
        window->show();
        ASSERT_TRUE(boxes.requests().empty());
    }

    test::TempDir dir;
    RecordedMessages boxes;
    std::unique_ptr<TfrmMain> window;
};

// Checks a picture of the bar in device pixels against the computed 1x picture: outside the
// text's box every device pixel is the 1x pixel it lies on; inside it the text has edges finer
// than a 1x pixel (2 x 2 blocks of more than one colour).
void ExpectDensePicture(const QImage& image, int percent, const char* what) {
    ASSERT_EQ(image.size(), QSize(700, 50)) << what;
    const RgbImage plain = ProgressBarPicture(350, 25, percent);
    int finerBlocks = 0;
    int differing = 0;
    for (int y = 0; y < 50; y += 2) {
        for (int x = 0; x < 700; x += 2) {
            const Rgb expected = plain.at(x / 2, y / 2);
            const QRgb block[] = {image.pixel(x, y), image.pixel(x + 1, y), image.pixel(x, y + 1),
                                  image.pixel(x + 1, y + 1)};
            bool uniform = true;
            for (QRgb pixel : block) {
                uniform = uniform && pixel == block[0];
                if (expected == kTransparentKey) {
                    ASSERT_EQ(qAlpha(pixel), 0) << what << " " << x << "," << y;
                } else if ((pixel & 0xFFFFFF) != expected) {
                    ++differing;
                    // Only the text changes the computed picture, and only near its middle.
                    ASSERT_TRUE(QRect(100, 10, 500, 30).contains(x, y))
                        << what << " " << x << "," << y;
                }
            }
            finerBlocks += !uniform;
        }
    }
    EXPECT_GT(differing, 40) << what << ": no text";
    EXPECT_GT(finerBlocks, 10) << what << ": the text is an upscaled 1x bitmap";
}

TEST_F(ScaleFactorTest, TheBarIsComposedAtTheScreensDensity) {
    RoundProgressBar* bar = window->ProgressBar;
    ASSERT_EQ(bar->devicePixelRatio(), 2);
    for (int position : {0, 45, 100}) {
        bar->SetPosition(position);
        const QImage composed = bar->Compose();
        EXPECT_EQ(composed.devicePixelRatio(), 2);
        ExpectDensePicture(composed.convertToFormat(QImage::Format_ARGB32), position, "composed");
        // What the bar paints on the window.
        QImage painted(700, 50, QImage::Format_ARGB32);
        painted.setDevicePixelRatio(2);
        painted.fill(Qt::transparent);
        bar->render(&painted, QPoint(), QRegion(), QWidget::DrawChildren);
        ExpectDensePicture(painted, position, "painted");
    }
}

}  // namespace
}  // namespace telvora::app
