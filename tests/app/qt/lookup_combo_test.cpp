// The awards drop-down RxDBLookupCombo2 over a real awards database, row by row through what
// the user can do with it, with the change handler setting SelectedAwardId.
#include "app/qt/lookup_combo.h"

#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStyle>
#include <QTest>
#include <map>

#include "app/error_handling.h"
#include "app/message_box.h"
#include "app/qt/main_window.h"
#include "app_test_support.h"
#include "logdb/logger_databases.h"

namespace telvora::app {
namespace {

namespace fs = std::filesystem;

const std::vector<test::Award> kAwards = {
    {"10", "RDA"}, {"15", "WAZ"}, {"20", "RDA-2020"}, {"30", "RDA Mixed"}, {"40", "RDA CW"}};

class LookupComboTest;

// One step of a table: what the user does, and what follows.
struct Step {
    const char* what;
    std::function<void(LookupComboTest&)> act;
    std::string value;  // the box's value after it
    bool open;          // whether the list is open after it
    int changes;        // change notifications so far
    std::string awardId;
};

class LookupComboTest : public ::testing::Test {
  public:
    void SetUp() override { test::QtApp(); }

    void Start(const std::vector<test::Award>& awards = kAwards) {
        const test::LoggerFiles files = test::MakeLoggerFolder(dir / "logger");
        test::WriteLogsDatabase(files.logs, {"Main"});
        test::WriteAwardsDatabase(files.awards, awards);
        StartOn(files);
    }

    void StartOn(const test::LoggerFiles& files) {
        const fs::path registry = dir / "config" / "HKEY_CURRENT_USER.reg";
        test::WriteRegistry(registry, files.folder);
        MainWindowOptions options;
        options.registryFile = registry;
        options.executablePath = dir / "bin" / "telvora";
        window = std::make_unique<TfrmMain>(std::move(options));
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        changes = std::make_unique<QSignalSpy>(Combo(), &DbLookupCombo::Change);
    }

    DbLookupCombo* Combo() const { return window->RxDBLookupCombo2; }
    QListWidget* View() const { return Combo()->Popup()->List(); }
    std::string Value() const { return Combo()->Value().toStdString(); }
    int Changes() const { return static_cast<int>(changes->count()); }
    size_t CurrentRow() const { return window->Databases().ADOQuery1.RecNo(); }
    const std::string& AwardId() const { return window->SelectedAwardId(); }

    QPoint RowCentre(int row) const { return View()->visualItemRect(View()->item(row)).center(); }

    void SendMouse(QWidget* widget, QEvent::Type type, QPoint pos, Qt::MouseButtons buttons) {
        QMouseEvent event(type, pos, widget->mapToGlobal(pos), Qt::LeftButton, buttons,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(widget, &event);
    }

    void ClickRow(int row) {
        ASSERT_TRUE(Combo()->ListOpen());
        QTest::mouseClick(View()->viewport(), Qt::LeftButton, {}, RowCentre(row));
    }

    void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QWidget* target = Combo()->ListOpen() ? static_cast<QWidget*>(View()) : Combo();
        QTest::keyClick(target, static_cast<Qt::Key>(key), modifiers);
    }

    void Run(const std::vector<Step>& steps) {
        for (const Step& step : steps) {
            step.act(*this);
            EXPECT_EQ(Value(), step.value) << step.what;
            EXPECT_EQ(Combo()->ListOpen(), step.open) << step.what;
            EXPECT_EQ(Changes(), step.changes) << step.what;
            EXPECT_EQ(AwardId(), step.awardId) << step.what;
        }
    }

    test::TempDir dir;
    RecordedMessages boxes;
    std::unique_ptr<TfrmMain> window;
    std::unique_ptr<QSignalSpy> changes;
};

TEST_F(LookupComboTest, BlankAfterStartUp) {
    Start();
    EXPECT_EQ(Value(), "");
    EXPECT_EQ(AwardId(), "");
    EXPECT_TRUE(Combo()->CanDropDown());
    EXPECT_EQ(View()->count(), 4);
    EXPECT_EQ(CurrentRow(), 0u);
}

TEST_F(LookupComboTest, ClicksOnTheBoxOpenAndCloseTheListWithoutChange) {
    Start();
    Run({{"click the closed box", [](auto& t) { QTest::mouseClick(t.Combo(), Qt::LeftButton); }, "",
          true, 0, ""},
         {"click the open box", [](auto& t) { QTest::mouseClick(t.Combo(), Qt::LeftButton); }, "",
          false, 0, ""},
         {"open again", [](auto& t) { QTest::mouseClick(t.Combo(), Qt::LeftButton); }, "", true, 0,
          ""},
         {"Escape in the list", [](auto& t) { t.Key(Qt::Key_Escape); }, "", false, 0, ""},
         {"open again", [](auto& t) { QTest::mouseClick(t.Combo(), Qt::LeftButton); }, "", true, 0,
          ""},
         {"press elsewhere",
          [](auto& t) {
              t.SendMouse(t.Combo()->Popup(), QEvent::MouseButtonPress, QPoint(-200, -100),
                          Qt::LeftButton);
          },
          "", false, 0, ""}});
}

TEST_F(LookupComboTest, ThePopUpIsThreeRowsHighAsWideAsTheBoxAndOpensBelow) {
    Start();
    QTest::mouseClick(Combo(), Qt::LeftButton);
    LookupPopup* popup = Combo()->Popup();
    ASSERT_TRUE(popup->isVisible());
    EXPECT_EQ(popup->width(), Combo()->width());
    EXPECT_EQ(popup->height(),
              3 * QFontMetrics(Combo()->font()).height() + 2 * popup->frameWidth());
    EXPECT_EQ(View()->visualItemRect(View()->item(0)).height(),
              QFontMetrics(Combo()->font()).height());
    EXPECT_EQ(popup->geometry().topLeft(), Combo()->mapToGlobal(QPoint(0, Combo()->height())));
    // Four awards: a vertical scroll bar.
    EXPECT_TRUE(View()->verticalScrollBar()->isVisible());
    // Rows in the order of the awards list.
    const char* rows[] = {"RDA", "RDA-2020", "RDA Mixed", "RDA CW"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(View()->item(i)->text(), rows[i]);
    }
}

TEST_F(LookupComboTest, AScrollBarFromThreeAwardsOn) {
    for (size_t count : {2u, 3u}) {
        std::vector<test::Award> awards(kAwards.begin(), kAwards.end());
        awards.erase(awards.begin() + 1);  // WAZ
        awards.resize(count);
        test::TempDir other;
        const test::LoggerFiles files = test::MakeLoggerFolder(other / "logger");
        test::WriteLogsDatabase(files.logs, {"Main"});
        test::WriteAwardsDatabase(files.awards, awards);
        StartOn(files);
        QTest::mouseClick(Combo(), Qt::LeftButton);
        ASSERT_TRUE(Combo()->ListOpen());
        EXPECT_EQ(View()->verticalScrollBar()->isVisible(), count >= 3) << count;
        Key(Qt::Key_Escape);
        window.reset();
    }
}

TEST_F(LookupComboTest, TheListOpensAboveWhenThereIsNoRoomBelow) {
    Start();
    const QRect screen = window->screen()->geometry();
    window->move(439, screen.bottom() - 100);
    QTest::mouseClick(Combo(), Qt::LeftButton);
    LookupPopup* popup = Combo()->Popup();
    ASSERT_TRUE(popup->isVisible());
    EXPECT_EQ(popup->geometry().bottom() + 1, Combo()->mapToGlobal(QPoint(0, 0)).y());
}

TEST_F(LookupComboTest, ClickingARowChoosesItAndNotifiesOnlyAChange) {
    Start();
    Run({{"open", [](auto& t) { QTest::mouseClick(t.Combo(), Qt::LeftButton); }, "", true, 0, ""},
         {"click RDA Mixed", [](auto& t) { t.ClickRow(2); }, "RDA Mixed", false, 1, "30"},
         {"open", [](auto& t) { QTest::mouseClick(t.Combo(), Qt::LeftButton); }, "RDA Mixed", true,
          1, "30"},
         {"click RDA Mixed again", [](auto& t) { t.ClickRow(2); }, "RDA Mixed", false, 1, "30"},
         {"open", [](auto& t) { QTest::mouseClick(t.Combo(), Qt::LeftButton); }, "RDA Mixed", true,
          1, "30"},
         {"click RDA-2020", [](auto& t) { t.ClickRow(1); }, "RDA-2020", false, 2, "20"}});
    EXPECT_EQ(CurrentRow(), 1u);
}

TEST_F(LookupComboTest, PressOnTheBoxDragOntoARowAndReleaseThere) {
    Start();
    const QPoint button = Combo()->ButtonRect().center();
    QTest::mousePress(Combo(), Qt::LeftButton, {}, button);
    EXPECT_TRUE(Combo()->ListOpen());
    EXPECT_TRUE(Combo()->ButtonPressed());
    // The release that belongs to the opening press, away from the rows: the list stays.
    SendMouse(Combo()->Popup(), QEvent::MouseButtonRelease,
              Combo()->Popup()->mapFromGlobal(Combo()->mapToGlobal(button)), Qt::NoButton);
    EXPECT_TRUE(Combo()->ListOpen());
    EXPECT_FALSE(Combo()->ButtonPressed());
    Key(Qt::Key_Escape);

    QTest::mousePress(Combo(), Qt::LeftButton, {}, QPoint(10, 10));
    ASSERT_TRUE(Combo()->ListOpen());
    SendMouse(View()->viewport(), QEvent::MouseMove, RowCentre(1), Qt::LeftButton);
    EXPECT_EQ(View()->currentRow(), 1);
    EXPECT_EQ(CurrentRow(), 1u);  // browsing moves the awards list along
    SendMouse(View()->viewport(), QEvent::MouseMove, RowCentre(3), Qt::LeftButton);
    EXPECT_EQ(CurrentRow(), 3u);
    SendMouse(View()->viewport(), QEvent::MouseButtonRelease, RowCentre(3), Qt::NoButton);
    EXPECT_FALSE(Combo()->ListOpen());
    EXPECT_EQ(Value(), "RDA CW");
    EXPECT_EQ(Changes(), 1);
    EXPECT_EQ(AwardId(), "40");
}

TEST_F(LookupComboTest, EnterAcceptsTheHighlightedRow) {
    Start();
    Run({{"open", [](auto& t) { QTest::mouseClick(t.Combo(), Qt::LeftButton); }, "", true, 0, ""},
         {"Down", [](auto& t) { t.Key(Qt::Key_Down); }, "", true, 0, ""},
         {"Down", [](auto& t) { t.Key(Qt::Key_Down); }, "", true, 0, ""},
         {"Enter", [](auto& t) { t.Key(Qt::Key_Return); }, "RDA Mixed", false, 1, "30"},
         {"open", [](auto& t) { QTest::mouseClick(t.Combo(), Qt::LeftButton); }, "RDA Mixed", true,
          1, "30"},
         {"Enter on the same row", [](auto& t) { t.Key(Qt::Key_Enter); }, "RDA Mixed", false, 1,
          "30"},
         {"open", [](auto& t) { QTest::mouseClick(t.Combo(), Qt::LeftButton); }, "RDA Mixed", true,
          1, "30"},
         {"Up", [](auto& t) { t.Key(Qt::Key_Up); }, "RDA Mixed", true, 1, "30"},
         {"Enter", [](auto& t) { t.Key(Qt::Key_Enter); }, "RDA-2020", false, 2, "20"}});
}

TEST_F(LookupComboTest, TypingOpensTheListAndSelectsTheRowBeginningWithTheTypedText) {
    Start();
    Combo()->setFocus(Qt::MouseFocusReason);
    struct Typed {
        const char* keys;
        int row;
        const char* search;
    };
    const Typed typed[] = {
        {"r", 0, "r"},    {"d", 0, "rd"},    {"a", 0, "rda"},
        {"-", 1, "rda-"}, {"x", 1, "rda-"},  // no row would match: dropped
        {"\b", 0, "rda"},                    // Backspace removes the last character
        {" ", 2, "rda "}, {"c", 3, "rda c"}, {"W", 3, "rda cW"},
    };
    for (const Typed& t : typed) {
        if (std::string(t.keys) == "\b") {
            Key(Qt::Key_Backspace);
        } else {
            QTest::keyClicks(Combo(), t.keys);
        }
        ASSERT_TRUE(Combo()->ListOpen()) << t.keys;
        EXPECT_EQ(View()->currentRow(), t.row) << t.keys;
        EXPECT_EQ(CurrentRow(), static_cast<size_t>(t.row)) << t.keys;
        EXPECT_EQ(Combo()->SearchText().toStdString(), t.search) << t.keys;
        EXPECT_EQ(Changes(), 0);
    }
    Key(Qt::Key_Return);
    EXPECT_EQ(Value(), "RDA CW");
    EXPECT_EQ(Changes(), 1);
    EXPECT_EQ(AwardId(), "40");
}

TEST_F(LookupComboTest, AtMost32TypedCharactersCount) {
    const std::string long_name = "RDA " + std::string(40, 'z');
    Start({{"1", "RDA"}, {"2", long_name}});
    Combo()->setFocus(Qt::MouseFocusReason);
    QTest::keyClicks(Combo(), QString::fromStdString(long_name));
    EXPECT_EQ(Combo()->SearchText().toStdString(), long_name.substr(0, 32));
    EXPECT_EQ(View()->currentRow(), 1);
}

// Letters as a Russian keyboard layout types them: key events whose text is the letter.
void TypeLetters(QWidget* widget, const QString& letters) {
    for (const QChar letter : letters) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(letter));
        QCoreApplication::sendEvent(widget, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(letter));
        QCoreApplication::sendEvent(widget, &release);
    }
}

TEST_F(LookupComboTest, TypedCyrillicFindsItsRowWithoutRegardToCase) {
    Start({{"1", "RDA"}, {"2", "RDA Районы"}, {"3", "RDA РАЙОНЫ-2020"}, {"4", "RDA Ёлки"}});
    Combo()->setFocus(Qt::MouseFocusReason);
    TypeLetters(Combo(), QString::fromUtf8("rda рай"));
    ASSERT_TRUE(Combo()->ListOpen());
    EXPECT_EQ(View()->currentRow(), 1);
    TypeLetters(View(), QString::fromUtf8("оны-"));
    EXPECT_EQ(View()->currentRow(), 2);
    EXPECT_EQ(Combo()->SearchText(), QString::fromUtf8("rda районы-"));
    Key(Qt::Key_Backspace);
    Key(Qt::Key_Backspace);
    EXPECT_EQ(Combo()->SearchText(), QString::fromUtf8("rda район"));
    Key(Qt::Key_Return);
    EXPECT_EQ(Value(), "RDA Районы");
    EXPECT_EQ(AwardId(), "2");
    Combo()->setFocus(Qt::MouseFocusReason);
    TypeLetters(Combo(), QString::fromUtf8("RDA ё"));
    EXPECT_EQ(View()->currentRow(), 3);
}

TEST_F(LookupComboTest, UpAndDownInTheClosedBox) {
    Start();
    Combo()->setFocus(Qt::MouseFocusReason);
    auto down = [](LookupComboTest& t) { t.Key(Qt::Key_Down); };
    auto up = [](LookupComboTest& t) { t.Key(Qt::Key_Up); };
    Run({{"Down without a value: the first", down, "RDA", false, 1, "10"},
         {"Down", down, "RDA-2020", false, 2, "20"},
         {"Up", up, "RDA", false, 3, "10"},
         {"Up on the first: notified all the same", up, "RDA", false, 4, "10"},
         {"Down", down, "RDA-2020", false, 5, "20"},
         {"Down", down, "RDA Mixed", false, 6, "30"},
         {"Down", down, "RDA CW", false, 7, "40"},
         {"Down on the last: notified all the same", down, "RDA CW", false, 8, "40"}});
}

TEST_F(LookupComboTest, UpWithoutAValueChoosesTheFirstRow) {
    Start();
    Combo()->setFocus(Qt::MouseFocusReason);
    Key(Qt::Key_Up);
    EXPECT_EQ(Value(), "RDA");
    EXPECT_EQ(AwardId(), "10");
}

TEST_F(LookupComboTest, AltUpAndAltDownOpenAndAccept) {
    Start();
    Combo()->setFocus(Qt::MouseFocusReason);
    Run({{"Alt+Down opens", [](auto& t) { t.Key(Qt::Key_Down, Qt::AltModifier); }, "", true, 0, ""},
         {"Down", [](auto& t) { t.Key(Qt::Key_Down); }, "", true, 0, ""},
         {"Alt+Up accepts", [](auto& t) { t.Key(Qt::Key_Up, Qt::AltModifier); }, "RDA-2020", false,
          1, "20"},
         {"Alt+Up opens", [](auto& t) { t.Key(Qt::Key_Up, Qt::AltModifier); }, "RDA-2020", true, 1,
          "20"},
         {"Alt+Down accepts the same row", [](auto& t) { t.Key(Qt::Key_Down, Qt::AltModifier); },
          "RDA-2020", false, 1, "20"}});
}

TEST_F(LookupComboTest, EscapeInTheClosedBoxBlanksItAndKeepsTheCurrentRow) {
    Start();
    Combo()->setFocus(Qt::MouseFocusReason);
    auto key = [](int k) { return [k](LookupComboTest& t) { t.Key(k); }; };
    Run({{"Down", key(Qt::Key_Down), "RDA", false, 1, "10"},
         {"Down", key(Qt::Key_Down), "RDA-2020", false, 2, "20"},
         {"Escape blanks the box; the former Id stays", key(Qt::Key_Escape), "", false, 3, "20"},
         {"Escape on a blank box does nothing", key(Qt::Key_Escape), "", false, 3, "20"},
         {"Down: the first again", key(Qt::Key_Down), "RDA", false, 4, "10"},
         {"open the list", [](auto& t) { QTest::mouseClick(t.Combo(), Qt::LeftButton); }, "RDA",
          true, 4, "10"},
         {"browse Down", key(Qt::Key_Down), "RDA", true, 4, "10"},
         {"browse Down", key(Qt::Key_Down), "RDA", true, 4, "10"},
         {"close without a choice", key(Qt::Key_Escape), "RDA", false, 4, "10"},
         {"Escape: the row last highlighted gives the Id", key(Qt::Key_Escape), "", false, 5,
          "30"}});
    EXPECT_EQ(CurrentRow(), 2u);
}

TEST_F(LookupComboTest, OfEqualDescriptionsTheRowChosenIsTheCurrentRow) {
    Start({{"1", "RDA"}, {"2", "RDA-2020"}, {"3", "RDA-2020"}});
    Combo()->setFocus(Qt::MouseFocusReason);
    auto open = [](LookupComboTest& t) { QTest::mouseClick(t.Combo(), Qt::LeftButton); };
    auto key = [](int k) { return [k](LookupComboTest& t) { t.Key(k); }; };
    Run({{"open", open, "", true, 0, ""},
         {"click the second RDA-2020", [](auto& t) { t.ClickRow(2); }, "RDA-2020", false, 1, "3"},
         {"Up steps from the row that carries the value", key(Qt::Key_Up), "RDA-2020", false, 2,
          "2"},
         {"Down", key(Qt::Key_Down), "RDA-2020", false, 3, "3"},
         {"open", open, "RDA-2020", true, 3, "3"},
         {"the list opens on the current row, Up", key(Qt::Key_Up), "RDA-2020", true, 3, "3"},
         {"Enter: the same value, no notification", key(Qt::Key_Return), "RDA-2020", false, 3,
          "3"}});
    EXPECT_EQ(CurrentRow(), 1u);
}

TEST_F(LookupComboTest, AnEmptyAwardsListStillNotifiesOnUpAndDown) {
    Start({{"1", "WAZ"}, {"2", "DXCC"}});
    Combo()->setFocus(Qt::MouseFocusReason);
    ASSERT_TRUE(Combo()->CanDropDown());
    EXPECT_EQ(View()->count(), 0);
    Run({{"Down", [](auto& t) { t.Key(Qt::Key_Down); }, "", false, 1, ""},
         {"Up", [](auto& t) { t.Key(Qt::Key_Up); }, "", false, 2, ""},
         {"open", [](auto& t) { QTest::mouseClick(t.Combo(), Qt::LeftButton); }, "", true, 2, ""},
         {"Enter on no row", [](auto& t) { t.Key(Qt::Key_Return); }, "", false, 2, ""}});
    EXPECT_TRUE(boxes.requests().empty());
}

TEST_F(LookupComboTest, AFailingChangeHandlerKeepsTheFormerIdWhileTheBoxShowsTheChoice) {
    const test::LoggerFiles files = test::MakeLoggerFolder(dir / "logger");
    test::WriteLogsDatabase(files.logs, {"Main"});
    test::ExecSql(files.awards,
                  "CREATE TABLE Statistic (Code INTEGER, Description TEXT);"
                  "INSERT INTO Statistic VALUES (1, 'RDA'), (2, 'RDA-2020');");
    StartOn(files);
    ASSERT_TRUE(boxes.requests().empty());
    Combo()->setFocus(Qt::MouseFocusReason);
    Key(Qt::Key_Down);
    EXPECT_EQ(Value(), "RDA");
    EXPECT_EQ(AwardId(), "");
    ASSERT_EQ(boxes.requests().size(), 1u);
    EXPECT_EQ(boxes.requests()[0].text, "ADOQuery1: Field 'Id' not found.");
    EXPECT_EQ(boxes.requests()[0].caption, ApplicationTitle());
    EXPECT_EQ(boxes.requests()[0].icon, MessageIcon::Error);
    // The window stays usable: the next choice fails the same way, and shows again.
    Key(Qt::Key_Down);
    EXPECT_EQ(Value(), "RDA-2020");
    EXPECT_EQ(boxes.requests().size(), 2u);
}

QImage Grab(QWidget* widget) {
    return widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// The pixels of `rect` that differ from `background`: their bounding box and how many there
// are of each colour.
struct Ink {
    QRect box;
    std::map<QRgb, int> colours;
    int Count(QColor colour) const {
        const auto found = colours.find(colour.rgb());
        return found == colours.end() ? 0 : found->second;
    }
};
Ink InkOn(const QImage& image, const QRect& rect, QColor background) {
    Ink ink;
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        for (int x = rect.left(); x <= rect.right(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            if (pixel != background.rgb()) {
                ink.box |= QRect(x, y, 1, 1);
                ++ink.colours[pixel];
            }
        }
    }
    return ink;
}

// The arrow inside the button's outline: its darkest pixel, how dark it is, and the box of
// the pixels nearly as dark (the arrow's core, without its smoothed edges).
struct Arrow {
    QPoint darkest;
    int grey = 256;
    QRect core;
};
Arrow ArrowOn(const QImage& image, const QRect& button) {
    const QRect inside = button.adjusted(2, 2, -2, -2);
    Arrow arrow;
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        for (int x = inside.left(); x <= inside.right(); ++x) {
            if (qGray(image.pixel(x, y)) < arrow.grey) {
                arrow.grey = qGray(image.pixel(x, y));
                arrow.darkest = QPoint(x, y);
            }
        }
    }
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        for (int x = inside.left(); x <= inside.right(); ++x) {
            if (qGray(image.pixel(x, y)) <= arrow.grey + 40) {
                arrow.core |= QRect(x, y, 1, 1);
            }
        }
    }
    return arrow;
}

int MeanGrey(const QImage& image, const QRect& rect) {
    long long sum = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        for (int x = rect.left(); x <= rect.right(); ++x) {
            sum += qGray(image.pixel(x, y));
        }
    }
    return static_cast<int>(sum / (1LL * rect.width() * rect.height()));
}

TEST_F(LookupComboTest, DrawingFocusPressedButtonAndInactiveList) {
    Start();
    const QPalette& pal = Combo()->palette();
    const QRect text = Combo()->TextRect();
    const QPoint blank(text.right() - 3, text.center().y());
    // The text area stops at the arrow button, which sits at the right edge and is as wide as
    // a vertical scroll bar.
    const QRect button = Combo()->ButtonRect();
    EXPECT_EQ(button.width(), Combo()->style()->pixelMetric(QStyle::PM_ScrollBarExtent));
    EXPECT_EQ(button.right(), Combo()->width() - 3);
    EXPECT_EQ(text.right() + 1, button.left());

    // Without the focus: the whole text area in the window colour.
    window->btnUpload->setFocus();
    QImage image = Grab(Combo());
    EXPECT_EQ(image.pixel(blank), pal.color(QPalette::Base).rgb());
    EXPECT_TRUE(InkOn(image, text, pal.color(QPalette::Base)).box.isNull());

    // With the focus and the list closed: the selection colour with a focus rectangle on its
    // rim.
    Combo()->setFocus(Qt::MouseFocusReason);
    image = Grab(Combo());
    EXPECT_EQ(image.pixel(blank), pal.color(QPalette::Highlight).rgb());
    const QRect inside = text.adjusted(2, 2, -2, -2);
    EXPECT_TRUE(InkOn(image, inside, pal.color(QPalette::Highlight)).box.isNull());
    // The focus rectangle runs round the rim, dotted: one pixel on, one off.
    EXPECT_EQ(InkOn(image, text, pal.color(QPalette::Highlight)).box, text);
    const QRgb dot = pal.color(QPalette::HighlightedText).rgb();
    const QRgb gap = pal.color(QPalette::Highlight).rgb();
    for (int x = text.left() + 1; x < text.right(); ++x) {
        const QRgb pixel = image.pixel(x, text.top());
        ASSERT_TRUE(pixel == dot || pixel == gap) << x;
        ASSERT_NE(pixel, image.pixel(x + 1, text.top())) << x;
    }

    // The chosen text: left-aligned, vertically centred, in the selection's text colour while
    // focused and in the text colour on the window colour without the focus.
    Key(Qt::Key_Down);
    ASSERT_EQ(Value(), "RDA");
    const Ink selected = InkOn(Grab(Combo()), inside, pal.color(QPalette::Highlight));
    EXPECT_GT(selected.Count(pal.color(QPalette::HighlightedText)), 0);
    window->btnUpload->setFocus();
    const QImage with_text = Grab(Combo());
    const Ink plain = InkOn(with_text, text, pal.color(QPalette::Base));
    EXPECT_GT(plain.Count(pal.color(QPalette::Text)), 0);
    EXPECT_EQ(plain.box, selected.box);
    EXPECT_LE(plain.box.left(), text.left() + 6);
    EXPECT_LE(std::abs(plain.box.center().y() - text.center().y()), 2)
        << "text rows " << plain.box.top() << ".." << plain.box.bottom();
    int leftmost = text.right();
    for (int y = text.top(); y <= text.bottom(); ++y) {
        for (int x = text.left(); x <= text.right(); ++x) {
            if (qGray(with_text.pixel(x, y)) < 100) {
                leftmost = std::min(leftmost, x);
            }
        }
    }
    EXPECT_LE(leftmost, text.left() + 6);

    // The button: drawn pressed while the mouse is held on it (sunken, its arrow one pixel
    // down and right); the text area is not selected while the list is open.
    const QImage raised = Grab(Combo());
    const Arrow raisedArrow = ArrowOn(raised, button);
    QTest::mousePress(Combo(), Qt::LeftButton, {}, button.center());
    ASSERT_TRUE(Combo()->ButtonPressed());
    ASSERT_TRUE(Combo()->ListOpen());
    const QImage pressed = Grab(Combo());
    EXPECT_NE(raised.copy(button), pressed.copy(button));
    EXPECT_EQ(ArrowOn(pressed, button).core, raisedArrow.core.translated(1, 1));
    EXPECT_LT(MeanGrey(pressed, button), MeanGrey(raised, button));
    EXPECT_EQ(InkOn(pressed, text, pal.color(QPalette::Base)).box, plain.box);
    Key(Qt::Key_Escape);
    EXPECT_FALSE(Combo()->ButtonPressed());
    EXPECT_EQ(ArrowOn(Grab(Combo()), button).core, raisedArrow.core);

    // Inactive when the list is not open: the arrow greyed.
    Combo()->SetLookupList(nullptr);
    EXPECT_FALSE(Combo()->CanDropDown());
    const QImage inactive = Grab(Combo());
    EXPECT_NE(inactive.copy(button), raised.copy(button));
    const Arrow greyed = ArrowOn(inactive, button);
    EXPECT_TRUE(raisedArrow.core.contains(greyed.darkest));
    EXPECT_GT(greyed.grey, raisedArrow.grey + 60);
}

}  // namespace
}  // namespace telvora::app
