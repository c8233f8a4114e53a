// The visual style "Aqua Light Slate": stored in the executable, found without regard to
// case, the "Error" dialog when a style is missing, and a light look whatever the desktop's
// theme.
#include "app/qt/visual_style.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "app/message_box.h"
#include "app/pictures.h"
#include "app/qt/lookup_combo.h"
#include "app/qt/main_window.h"
#include "app/qt/progress_bar.h"
#include "app/qt/resources.h"
#include "app_test_support.h"

namespace telvora::app {
namespace {

class StyleTest : public ::testing::Test {
  protected:
    void SetUp() override { test::QtApp().setStyleSheet(QString()); }
    void TearDown() override {
        test::QtApp().setStyleSheet(QString());
        QApplication::setPalette(QPalette());
    }
};

TEST_F(StyleTest, TheStyleIsStoredInTheExecutable) {
    EXPECT_TRUE(StoredStyleNames().contains("Aqua Light Slate"));
    EXPECT_FALSE(MainIcon().isNull());
}

TEST_F(StyleTest, LookedUpWithoutRegardToCase) {
    struct Case {
        QString name;
        bool found;
    };
    const Case cases[] = {
        {"Aqua Light Slate", true},   {"aqua light slate", true},
        {"AQUA LIGHT SLATE", true},   {"aQuA lIgHt SlAtE", true},
        {"Aqua Light", false},        {"Aqua  Light Slate", false},
        {"Aqua Light Slate ", false}, {"", false},
    };
    for (const Case& c : cases) {
        test::QtApp().setStyleSheet(QString());
        EXPECT_EQ(TrySetStyle(c.name), c.found) << c.name.toStdString();
        if (c.found) {
            EXPECT_EQ(ActiveStyleName(), "Aqua Light Slate");
            EXPECT_TRUE(test::QtApp().styleSheet().contains("QPushButton"));
        } else {
            EXPECT_TRUE(test::QtApp().styleSheet().isEmpty());
        }
    }
    // Once loaded, the style is found among the loaded ones.
    EXPECT_TRUE(LoadedStyleNames().contains("Aqua Light Slate"));
}

TEST_F(StyleTest, ApplyingTheStyleShowsNothing) {
    RecordedMessages boxes;
    ApplyVisualStyle(kVisualStyleName);
    EXPECT_TRUE(boxes.requests().empty());
    EXPECT_FALSE(test::QtApp().styleSheet().isEmpty());
}

TEST_F(StyleTest, AMissingStyleShowsTheErrorDialogThenThePlatformLook) {
    RecordedMessages boxes;
    ApplyVisualStyle("Carbon Dark");
    ASSERT_EQ(boxes.requests().size(), 1u);
    const MessageRequest& box = boxes.requests()[0];
    EXPECT_EQ(box.caption, "Error");
    EXPECT_EQ(box.icon, MessageIcon::Error);
    EXPECT_EQ(box.text, "Style 'Carbon Dark' not found");
    EXPECT_EQ(box.buttons, std::vector<MessageButton>{MessageButton::Close});
    EXPECT_TRUE(test::QtApp().styleSheet().isEmpty());
}

// What a dark desktop theme hands the application before the style is applied.
QPalette DarkDesktopPalette() {
    QPalette dark(QColor(0xe0, 0xe0, 0xe0), QColor(0x35, 0x35, 0x35));  // text, button
    dark.setColor(QPalette::Window, QColor(0x2b, 0x2b, 0x2b));
    dark.setColor(QPalette::WindowText, QColor(0xf0, 0xf0, 0xf0));
    dark.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
    dark.setColor(QPalette::Text, QColor(0xf0, 0xf0, 0xf0));
    dark.setColor(QPalette::Highlight, QColor(0x80, 0x40, 0x00));
    dark.setColor(QPalette::HighlightedText, QColor(0xff, 0xff, 0xff));
    return dark;
}

// The pixels of `rect` that differ from the panel's gradient behind them, and how many of
// them are lighter than it.
struct InkOnPanel {
    int pixels = 0;
    int lighter = 0;
};
InkOnPanel InkOnGradient(const QImage& image, const QRect& rect) {
    InkOnPanel ink;
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        const QRgb panel = 0xFF000000u | VerticalGradientRow(y, image.height(), kGrey, kSilver);
        for (int x = rect.left(); x <= rect.right(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            if (pixel != panel) {
                ++ink.pixels;
                ink.lighter += qGray(pixel) > qGray(panel);
            }
        }
    }
    return ink;
}

TEST_F(StyleTest, ADarkDesktopThemeDoesNotBleedIntoTheWindow) {
    QApplication::setPalette(DarkDesktopPalette());
    RecordedMessages boxes;
    ApplyVisualStyle(kVisualStyleName);

    test::TempDir dir;
    TfrmMain window(test::SmallLoggerWindow(dir.path()));
    window.show();
    ASSERT_TRUE(boxes.requests().empty());
    window.RxDBLookupCombo2->setFocus();
    QTest::keyClick(window.RxDBLookupCombo2, Qt::Key_Down);
    window.btnUpload->setFocus();
    const QImage image = window.grab().toImage().convertToFormat(QImage::Format_RGB32);

    // The labels and the percentage: dark text on the light gradient and the silver bar.
    for (const QLabel* label : {window.Label1, window.Label2, window.Label3}) {
        const InkOnPanel ink = InkOnGradient(image, label->geometry());
        EXPECT_GT(ink.pixels, 20) << label->objectName().toStdString();
        EXPECT_EQ(ink.lighter, 0) << label->objectName().toStdString();
    }
    const QRect bar = window.ProgressBar->geometry();
    const RgbImage picture = ProgressBarPicture(bar.width(), bar.height(), 0);
    InkOnPanel percentage;
    for (int y = 0; y < bar.height(); ++y) {
        for (int x = 0; x < bar.width(); ++x) {
            const QRgb computed = 0xFF000000u | picture.at(x, y);
            const QRgb pixel = image.pixel(bar.x() + x, bar.y() + y);
            if (picture.at(x, y) != kTransparentKey && pixel != computed) {
                ++percentage.pixels;
                percentage.lighter += qGray(pixel) > qGray(computed);
            }
        }
    }
    EXPECT_GT(percentage.pixels, 10);
    EXPECT_EQ(percentage.lighter, 0);
    // The drop-down: the chosen award in dark text on white.
    const QRect text =
        window.RxDBLookupCombo2->TextRect().translated(window.RxDBLookupCombo2->pos());
    int darkest = 255;
    for (int y = text.top(); y <= text.bottom(); ++y) {
        for (int x = text.left(); x <= text.right(); ++x) {
            darkest = std::min(darkest, qGray(image.pixel(x, y)));
        }
    }
    EXPECT_EQ(image.pixel(text.right() - 3, text.center().y()), qRgb(255, 255, 255));
    EXPECT_LT(darkest, 64);
}

}  // namespace
}  // namespace telvora::app
