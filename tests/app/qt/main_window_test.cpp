// The main window on the offscreen platform: its frame, every control at its place with its
// name, text and font, focus and tab order, the check list's clicks, the status bar, the
// drawn panel and progress bar, and the start-up (FormCreate) with its failures.
#include "app/qt/main_window.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStyleOptionViewItem>
#include <QTest>

#include "app/error_handling.h"
#include "app/message_box.h"
#include "app/pictures.h"
#include "app/qt/check_list_box.h"
#include "app/qt/gradient_panel.h"
#include "app/qt/lookup_combo.h"
#include "app/qt/progress_bar.h"
#include "app/qt/status_bar.h"
#include "app_test_support.h"
#include "logdb/logger_databases.h"
#include "sample_logger/sample_logger.h"

namespace telvora::app {
namespace {

namespace fs = std::filesystem;

class MainWindowTest : public ::testing::Test {
  protected:
    void SetUp() override { test::QtApp(); }

    fs::path RegistryFile() const { return dir / "config" / "telvora" / "HKEY_CURRENT_USER.reg"; }

    // A logger of our own making with the given logs and awards, and the registry entry.
    void MakeLogger(const std::vector<std::string>& logs, const std::vector<test::Award>& awards) {
        const test::LoggerFiles files = test::MakeLoggerFolder(dir / "logger");
        test::WriteLogsDatabase(files.logs, logs);
        test::WriteAwardsDatabase(files.awards, awards);
        test::WriteRegistry(RegistryFile(), files.folder);
    }

    // The executable's folder: with a copy of the real executable when the version record
    // is wanted, else an executable that does not exist (no record).
    fs::path Executable(bool withRecord) {
        fs::create_directories(dir / "bin");
        const fs::path exe = dir / "bin" / "telvora";
        if (withRecord) {
            fs::copy_file(TELVORA_EXECUTABLE, exe, fs::copy_options::overwrite_existing);
        }
        return exe;
    }

    std::unique_ptr<TfrmMain> Start(bool withRecord = false) {
        MainWindowOptions options;
        options.registryFile = RegistryFile();
        options.executablePath = Executable(withRecord);
        return std::make_unique<TfrmMain>(std::move(options));
    }

    test::TempDir dir;
    RecordedMessages boxes;
};

const std::vector<test::Award> kAwards = {
    {"1", "RDA"}, {"2", "WAZ"}, {"3", "RDA-2020"}, {"5", "My RDA"}, {"6", "RDA Mixed"}};

TEST_F(MainWindowTest, TheWindowFrame) {
    MakeLogger({"Main"}, kAwards);
    auto window = Start();
    EXPECT_EQ(window->objectName(), "frmMain");
    EXPECT_EQ(window->windowTitle(), "Telvora statistic from csv file");
    EXPECT_EQ(window->size(), QSize(373, 205));
    EXPECT_EQ(window->minimumSize(), QSize(373, 205));
    EXPECT_EQ(window->maximumSize(), QSize(373, 205));
    const Qt::WindowFlags flags = window->windowFlags();
    EXPECT_TRUE(flags & Qt::WindowSystemMenuHint);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(window->windowIcon().isNull());
    window->show();
    EXPECT_EQ(window->frameGeometry().topLeft(), QPoint(439, 274));
    EXPECT_TRUE(window->isVisible());
}

TEST_F(MainWindowTest, EveryControlAtItsPlaceWithItsName) {
    MakeLogger({"Main"}, kAwards);
    auto window = Start();
    struct Case {
        const char* name;
        const char* className;
        QRect geometry;
    };
    const Case cases[] = {
        {"RzPanel1", "telvora::app::GradientPanel", {0, 0, 373, 205}},
        {"Edit1", "QLineEdit", {8, 24, 145, 21}},
        {"RxDBLookupCombo2", "telvora::app::DbLookupCombo", {8, 64, 145, 21}},
        {"CheckListBox1", "telvora::app::CheckListBox", {215, 24, 145, 95}},
        {"ProgressBar", "telvora::app::RoundProgressBar", {8, 125, 350, 25}},
        {"btnUpload", "QPushButton", {120, 155, 121, 25}},
        {"StatusBar", "telvora::app::PanelStatusBar", {0, 186, 373, 19}},
    };
    for (const Case& c : cases) {
        auto* widget = window->findChild<QWidget*>(c.name);
        ASSERT_NE(widget, nullptr) << c.name;
        EXPECT_STREQ(widget->metaObject()->className(), c.className) << c.name;
        EXPECT_EQ(widget->geometry(), c.geometry) << c.name;
        if (widget != window->RzPanel1) {
            EXPECT_EQ(widget->parentWidget(), window->RzPanel1) << c.name;
        }
    }
    EXPECT_EQ(window->btnUpload->text(), "Upload log");
    EXPECT_TRUE(window->Edit1->text().isEmpty());
    EXPECT_TRUE(window->RxDBLookupCombo2->Value().isEmpty());
}

TEST_F(MainWindowTest, LabelsKeepTheirPlaceAndSizeThemselvesToTheirText) {
    MakeLogger({"Main"}, kAwards);
    auto window = Start();
    struct Case {
        const char* name;
        const char* text;
        QPoint position;
    };
    const Case cases[] = {{"Label2", "Your Callsign:", {24, 6}},
                          {"Label3", "Awards:", {48, 48}},
                          {"Label1", "Logs:", {264, 6}}};
    for (const Case& c : cases) {
        auto* label = window->findChild<QLabel*>(c.name);
        ASSERT_NE(label, nullptr) << c.name;
        EXPECT_EQ(label->text(), c.text);
        EXPECT_EQ(label->pos(), c.position) << c.name;
        EXPECT_EQ(label->size(), label->sizeHint()) << c.name;
        EXPECT_EQ(label->parentWidget(), window->RzPanel1);
        EXPECT_FALSE(label->autoFillBackground()) << c.name;
    }
}

TEST_F(MainWindowTest, FontsOfTheControls) {
    MakeLogger({"Main"}, kAwards);
    auto window = Start();
    const QStringList fixed = {"Courier", "DejaVu Sans Mono", "Liberation Mono"};
    const QStringList sans = {"Tahoma", "MS Sans Serif", "Verdana", "DejaVu Sans",
                              "Liberation Sans"};
    struct Case {
        QWidget* widget;
        const QStringList* families;
        int pixels;
        bool bold;
    };
    const Case cases[] = {
        {window.get(), &sans, 11, false},          {window->Label1, &fixed, 13, true},
        {window->Label2, &fixed, 13, true},        {window->Label3, &fixed, 13, true},
        {window->Edit1, &sans, 11, true},          {window->RxDBLookupCombo2, &sans, 11, false},
        {window->CheckListBox1, &sans, 11, false}, {window->ProgressBar, &sans, 13, false},
        {window->btnUpload, &sans, 11, false},
    };
    for (const Case& c : cases) {
        const QFont font = c.widget->font();
        EXPECT_TRUE(c.families->contains(font.family()))
            << c.widget->objectName().toStdString() << ": " << font.family().toStdString();
        EXPECT_EQ(font.pixelSize(), c.pixels) << c.widget->objectName().toStdString();
        EXPECT_EQ(font.bold(), c.bold) << c.widget->objectName().toStdString();
    }
    EXPECT_TRUE(QFontInfo(window->Label1->font()).fixedPitch());
}

TEST_F(MainWindowTest, OnlyUploadLogIsATabStopAndHasTheFocusAfterStartUp) {
    MakeLogger({"Main", "Portable"}, kAwards);
    auto window = Start();
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    EXPECT_EQ(QApplication::focusWidget(), window->btnUpload);

    for (QWidget* widget : window->findChildren<QWidget*>()) {
        const bool tab_stop = (widget->focusPolicy() & Qt::TabFocus) == Qt::TabFocus;
        if (widget->isVisibleTo(window.get())) {
            EXPECT_EQ(tab_stop, widget == window->btnUpload) << widget->objectName().toStdString();
        }
    }
    // The tab order, as the window declares it.
    EXPECT_EQ(window->Edit1->nextInFocusChain(), window->CheckListBox1);
    // Tab from any control lands on the button; the other controls take the focus by a click.
    for (QWidget* from : std::initializer_list<QWidget*>{
             window->Edit1, window->CheckListBox1, window->RxDBLookupCombo2, window->btnUpload}) {
        from->setFocus(Qt::MouseFocusReason);
        ASSERT_EQ(QApplication::focusWidget(), from);
        QTest::keyClick(from, Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), window->btnUpload)
            << from->objectName().toStdString();
    }
    QTest::mouseClick(window->Edit1, Qt::LeftButton);
    EXPECT_EQ(QApplication::focusWidget(), window->Edit1);
}

TEST_F(MainWindowTest, EnterAndSpaceOnTheFocusedButtonRunTheUpload) {
    MakeLogger({"Main"}, kAwards);
    auto window = Start();
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    QSignalSpy clicks(window->btnUpload, &QPushButton::clicked);
    QTest::keyClick(window->btnUpload, Qt::Key_Return);
    QTest::keyClick(window->btnUpload, Qt::Key_Enter);
    QTest::keyClick(window->btnUpload, Qt::Key_Space);
    EXPECT_EQ(clicks.count(), 3);
}

TEST_F(MainWindowTest, Edit1IsCentredAndTurnsTypedLettersIntoUpperCase) {
    MakeLogger({"Main"}, kAwards);
    auto window = Start();
    window->show();
    EXPECT_EQ(window->Edit1->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    struct Case {
        const char* typed;
        const char* shown;
    };
    const Case cases[] = {{"ua9abc", "UA9ABC"}, {"r3/p", "R3/P"}, {"Ok 1!", "OK 1!"}};
    for (const Case& c : cases) {
        window->Edit1->clear();
        window->Edit1->setFocus();
        QTest::keyClicks(window->Edit1, c.typed);
        EXPECT_EQ(window->Edit1->text().toStdString(), c.shown);
    }
}

// Where the check box of row `row` lies in the list's viewport.
QRect CheckBoxRect(CheckListBox* list, int row) {
    QStyleOptionViewItem option;
    option.initFrom(list->viewport());
    option.rect = list->visualItemRect(list->item(row));
    option.features = QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay;
    option.text = list->item(row)->text();
    option.font = list->font();
    return list->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, list);
}

TEST_F(MainWindowTest, CheckListClicksOnTheBoxTickAndOnTheTextOnlySelect) {
    MakeLogger({"Main", "Field's", "Portable"}, kAwards);
    auto window = Start();
    window->show();
    CheckListBox* list = window->CheckListBox1;
    ASSERT_EQ(list->Count(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(list->Checked(i));
    }
    QWidget* viewport = list->viewport();
    const QRect text = list->visualItemRect(list->item(1));
    const QPoint on_text(text.right() - 10, text.center().y());

    struct Step {
        const char* what;
        std::function<void()> act;
        int current;
        std::vector<bool> checked;
    };
    const Step steps[] = {
        {"click on the text of row 1",
         [&] { QTest::mouseClick(viewport, Qt::LeftButton, {}, on_text); },
         1,
         {false, false, false}},
        {"click on the check box of row 1",
         [&] { QTest::mouseClick(viewport, Qt::LeftButton, {}, CheckBoxRect(list, 1).center()); },
         1,
         {false, true, false}},
        {"click on the check box of row 2",
         [&] { QTest::mouseClick(viewport, Qt::LeftButton, {}, CheckBoxRect(list, 2).center()); },
         2,
         {false, true, true}},
        {"click on the check box of row 1 again",
         [&] { QTest::mouseClick(viewport, Qt::LeftButton, {}, CheckBoxRect(list, 1).center()); },
         1,
         {false, false, true}},
        {"Space on the selected row 1",
         [&] { QTest::keyClick(list, Qt::Key_Space); },
         1,
         {false, true, true}},
        {"click on the text of row 0",
         [&] {
             const QRect r = list->visualItemRect(list->item(0));
             QTest::mouseClick(viewport, Qt::LeftButton, {},
                               QPoint(r.right() - 10, r.center().y()));
         },
         0,
         {false, true, true}},
        {"Space on the selected row 0",
         [&] { QTest::keyClick(list, Qt::Key_Space); },
         0,
         {true, true, true}},
        {"Space again", [&] { QTest::keyClick(list, Qt::Key_Space); }, 0, {false, true, true}},
    };
    for (const Step& step : steps) {
        step.act();
        EXPECT_EQ(list->currentRow(), step.current) << step.what;
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(list->Checked(i), step.checked[static_cast<size_t>(i)])
                << step.what << ", row " << i;
        }
    }
    EXPECT_EQ(list->CheckedItems(), (std::vector<std::string>{"Field's", "Portable"}));
}

TEST_F(MainWindowTest, ARowIsAsHighAsTheTextOrTheCheckBox) {
    MakeLogger({"Main"}, kAwards);
    auto window = Start();
    window->show();
    const int row = window->CheckListBox1->visualItemRect(window->CheckListBox1->item(0)).height();
    const int text = QFontMetrics(window->CheckListBox1->font()).height();
    const int box = CheckBoxRect(window->CheckListBox1, 0).height();
    EXPECT_GE(row, std::max(text, box));
    EXPECT_LE(row, std::max(text, box) + 6);  // the style's item margins at most
}

TEST_F(MainWindowTest, StatusBarHasOneCentredBoldPanelWithTheVersion) {
    MakeLogger({"Main"}, kAwards);
    auto window = Start(/*withRecord=*/true);
    PanelStatusBar* bar = window->StatusBar;
    EXPECT_FALSE(bar->isSizeGripEnabled());
    ASSERT_EQ(bar->PanelCount(), 1);
    EXPECT_EQ(bar->PanelWidth(0), 50);
    EXPECT_EQ(bar->PanelText(0), "v1.0.2.2");
    EXPECT_TRUE(bar->font().bold());
    EXPECT_EQ(bar->geometry().bottom(), window->RzPanel1->height() - 1);

    // The text is drawn centred in the panel: its dark pixels balance around the middle.
    window->show();
    const QImage image = bar->grab().toImage();
    const QRect panel = bar->PanelRect(0);
    int left = panel.right(), right = panel.left();
    for (int y = panel.top() + 2; y < panel.bottom() - 1; ++y) {
        for (int x = panel.left() + 2; x < panel.right() - 1; ++x) {
            if (qGray(image.pixel(x, y)) < 96) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
        }
    }
    ASSERT_LT(left, right) << "no text drawn in the panel";
    EXPECT_LE(std::abs((left + right) - (panel.left() + panel.right())), 3);
}

TEST_F(MainWindowTest, ProgressBarPositionIsClampedAndRepaintsAtOnce) {
    MakeLogger({"Main"}, kAwards);
    auto window = Start();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    RoundProgressBar* bar = window->ProgressBar;
    EXPECT_EQ(bar->Position(), 0);

    struct PaintCounter : QObject {
        int paints = 0;
        bool eventFilter(QObject*, QEvent* event) override {
            paints += event->type() == QEvent::Paint;
            return false;
        }
    } counter;
    bar->installEventFilter(&counter);
    const std::pair<int, int> cases[] = {{50, 50}, {-5, 0}, {150, 100}, {100, 100}, {37, 37}};
    for (auto [set, expected] : cases) {
        const int before = counter.paints;
        const int old = bar->Position();
        bar->SetPosition(set);
        EXPECT_EQ(bar->Position(), expected) << set;
        // Painted before SetPosition returned, without the event loop running.
        EXPECT_EQ(counter.paints - before, expected != old ? 1 : 0) << set;
    }
}

TEST_F(MainWindowTest, ProgressPicturesCarryTheCentredPercentage) {
    MakeLogger({"Main"}, kAwards);
    auto window = Start();
    RoundProgressBar* bar = window->ProgressBar;
    for (int position : {0, 45, 100}) {
        bar->SetPosition(position);
        const QImage picture = bar->Compose();
        const RgbImage plain = ProgressBarPicture(350, 25, position);
        const QFontMetrics metrics(bar->font());
        const QString text = QString::number(position) + "%";
        const TextOrigin origin =
            ProgressTextOrigin(350, 25, metrics.horizontalAdvance(text), metrics.height());
        const QRect text_rect(origin.left, origin.top, metrics.horizontalAdvance(text),
                              metrics.height());
        int differing = 0;
        for (int y = 0; y < 25; ++y) {
            for (int x = 0; x < 350; ++x) {
                const QRgb pixel = picture.pixel(x, y);
                const Rgb expected = plain.at(x, y);
                if (expected == kTransparentKey) {
                    ASSERT_EQ(qAlpha(pixel), 0) << x << "," << y;
                    continue;
                }
                if ((pixel & 0xFFFFFF) != expected) {
                    ++differing;
                    // Only the text changes the computed picture, and only inside its box.
                    ASSERT_TRUE(text_rect.adjusted(-1, -1, 1, 1).contains(x, y))
                        << position << "%: " << x << "," << y;
                }
            }
        }
        EXPECT_GT(differing, 10) << position << "%: no text";
    }
}

TEST_F(MainWindowTest, ThePanelIsPaintedWithItsGradient) {
    MakeLogger({"Main"}, kAwards);
    auto window = Start();
    window->show();
    QImage image(373, 205, QImage::Format_RGB32);
    window->RzPanel1->render(&image, QPoint(), QRegion(), QWidget::DrawWindowBackground);
    const RgbImage expected = VerticalGradient(373, 205, kGrey, kSilver);
    for (int y = 0; y < 205; ++y) {
        for (int x = 0; x < 373; x += 31) {
            ASSERT_EQ(image.pixel(x, y) & 0xFFFFFF, expected.at(x, y)) << x << "," << y;
        }
    }
}

TEST_F(MainWindowTest, StartUpFillsBothListsAndShowsTheVersion) {
    tools::SampleLoggerOptions options;
    options.folder = dir / "logger";
    options.logs = 3;
    options.contacts_per_log = 20;
    const tools::SampleLogger logger = tools::MakeSampleLogger(options);
    test::WriteRegistry(RegistryFile(), logger.folder);

    auto window = Start(/*withRecord=*/true);
    EXPECT_TRUE(boxes.requests().empty());
    ASSERT_EQ(window->CheckListBox1->Count(), static_cast<int>(logger.logs.size()));
    for (size_t i = 0; i < logger.logs.size(); ++i) {
        EXPECT_EQ(window->CheckListBox1->ItemText(static_cast<int>(i)), logger.logs[i].name);
        EXPECT_FALSE(window->CheckListBox1->Checked(static_cast<int>(i)));
    }
    std::vector<std::string> rda;
    for (const auto& award : logger.awards) {
        if (award.IsRda()) {
            rda.push_back(award.description);
        }
    }
    QListWidget* awards = window->RxDBLookupCombo2->Popup()->List();
    ASSERT_EQ(awards->count(), static_cast<int>(rda.size()));
    for (size_t i = 0; i < rda.size(); ++i) {
        EXPECT_EQ(awards->item(static_cast<int>(i))->text().toStdString(), rda[i]);
    }
    EXPECT_TRUE(window->RxDBLookupCombo2->CanDropDown());
    EXPECT_TRUE(window->RxDBLookupCombo2->Value().isEmpty());
    EXPECT_TRUE(window->SelectedAwardId().empty());
    EXPECT_EQ(window->StatusBar->PanelText(0), "v1.0.2.2");
    EXPECT_EQ(window->IniFileName(), (dir / "bin" / "Telvora.ini").string());
    EXPECT_TRUE(window->Databases().ADOConnection1.Connected());
    EXPECT_TRUE(window->Databases().ADOConnection2.Connected());
}

// A start-up whose FormCreate fails at one step: one error box, the steps after it skipped,
// the window still shown and closed normally.
struct FailureCase {
    const char* what;
    std::function<void(const fs::path& folder, const fs::path& registry)> setUp;
    std::string messagePart;  // what the box's text contains
    bool logsOpen, awardsOpen, awardsListed, logsListed;
};

class StartUpFailureTest : public MainWindowTest,
                           public ::testing::WithParamInterface<FailureCase> {};

TEST_P(StartUpFailureTest, OneBoxThenTheWindowAppearsWithoutTheLaterSteps) {
    const FailureCase& c = GetParam();
    fs::create_directories(dir / "logger" / "db");
    c.setUp(dir / "logger", RegistryFile());

    auto window = Start(/*withRecord=*/true);

    ASSERT_EQ(boxes.requests().size(), 1u) << c.what;
    const MessageRequest& box = boxes.requests()[0];
    EXPECT_EQ(box.caption, ApplicationTitle());
    EXPECT_EQ(box.icon, MessageIcon::Error);
    EXPECT_EQ(box.buttons, std::vector<MessageButton>{MessageButton::Ok});
    EXPECT_NE(box.text.find(c.messagePart), std::string::npos) << c.what << ": " << box.text;

    // FormCreate's first step ran all the same.
    EXPECT_EQ(window->IniFileName(), (dir / "bin" / "Telvora.ini").string());
    EXPECT_EQ(window->Databases().ADOConnection1.Connected(), c.logsOpen) << c.what;
    EXPECT_EQ(window->Databases().ADOConnection2.Connected(), c.awardsOpen) << c.what;
    EXPECT_EQ(window->RxDBLookupCombo2->CanDropDown(), c.awardsListed) << c.what;
    EXPECT_EQ(window->CheckListBox1->Count() > 0, c.logsListed) << c.what;
    // No version: the panel stays empty and its font is not made bold.
    EXPECT_EQ(window->StatusBar->PanelText(0), "");
    EXPECT_FALSE(window->StatusBar->font().bold());

    // The drop-down cannot be opened when the awards list is not open, and no key changes it.
    if (!c.awardsListed) {
        QSignalSpy changes(window->RxDBLookupCombo2, &DbLookupCombo::Change);
        window->show();
        QTest::mouseClick(window->RxDBLookupCombo2, Qt::LeftButton);
        EXPECT_FALSE(window->RxDBLookupCombo2->ListOpen());
        QTest::keyClick(window->RxDBLookupCombo2, Qt::Key_Down);
        QTest::keyClick(window->RxDBLookupCombo2, Qt::Key_R);
        EXPECT_EQ(changes.count(), 0);
        EXPECT_TRUE(window->SelectedAwardId().empty());
    }

    window->show();
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->close());
    EXPECT_EQ(boxes.requests().size(), 1u);
}

const FailureCase kFailures[] = {
    {"logs database missing",
     [](const fs::path& folder, const fs::path& registry) {
         test::WriteAwardsDatabase(folder / "db" / "awards.mdb", kAwards);
         test::WriteRegistry(registry, folder);
     },
     "logs.mdb", false, false, false, false},
    {"InstallPath is a number",
     [](const fs::path&, const fs::path& registry) {
         test::WriteRegistryLine(registry, "\"InstallPath\"=dword:00000001");
     },
     "Invalid data type for 'InstallPath'", false, false, false, false},
    {"awards database missing",
     [](const fs::path& folder, const fs::path& registry) {
         test::WriteLogsDatabase(folder / "db" / "logs.mdb", {"Main"});
         test::WriteRegistry(registry, folder);
     },
     "awards.mdb", true, false, false, false},
    {"logs database is not a database",
     [](const fs::path& folder, const fs::path& registry) {
         test::WriteFileBytes(folder / "db" / "logs.mdb", std::string(4096, 'x'));
         test::WriteAwardsDatabase(folder / "db" / "awards.mdb", kAwards);
         test::WriteRegistry(registry, folder);
     },
     "logs.mdb", false, false, false, false},
    {"no table Statistic",
     [](const fs::path& folder, const fs::path& registry) {
         test::WriteLogsDatabase(folder / "db" / "logs.mdb", {"Main"});
         test::ExecSql(folder / "db" / "awards.mdb", "CREATE TABLE Avtozachet (Id INTEGER);");
         test::WriteRegistry(registry, folder);
     },
     "Statistic", true, true, false, false},
    {"no table Aconfig",
     [](const fs::path& folder, const fs::path& registry) {
         test::ExecSql(folder / "db" / "logs.mdb", "CREATE TABLE Other (Id INTEGER);");
         test::WriteAwardsDatabase(folder / "db" / "awards.mdb", kAwards);
         test::WriteRegistry(registry, folder);
     },
     "Aconfig", true, true, true, false},
    {"Aconfig rows without LogName",
     [](const fs::path& folder, const fs::path& registry) {
         test::ExecSql(folder / "db" / "logs.mdb",
                       "CREATE TABLE Aconfig (Id INTEGER, Name TEXT);"
                       "INSERT INTO Aconfig VALUES (1, 'Main');");
         test::WriteAwardsDatabase(folder / "db" / "awards.mdb", kAwards);
         test::WriteRegistry(registry, folder);
     },
     "AconfigQuery: Field 'LogName' not found.", true, true, true, false},
};

INSTANTIATE_TEST_SUITE_P(Steps, StartUpFailureTest, ::testing::ValuesIn(kFailures));

TEST_F(MainWindowTest, NullAndRepeatedLogNamesAreListedAsTheTableYieldsThem) {
    const test::LoggerFiles files = test::MakeLoggerFolder(dir / "logger");
    test::ExecSql(files.logs,
                  "CREATE TABLE Aconfig (Id INTEGER PRIMARY KEY, LogName TEXT, LogFileName TEXT);"
                  "INSERT INTO Aconfig (LogName, LogFileName) VALUES ('Main', 'Log1'),"
                  " (NULL, 'Log2'), ('Main', 'Log3');");
    test::WriteAwardsDatabase(files.awards, {});
    test::WriteRegistry(RegistryFile(), files.folder);
    auto window = Start();
    EXPECT_TRUE(boxes.requests().empty());
    ASSERT_EQ(window->CheckListBox1->Count(), 3);
    EXPECT_EQ(window->CheckListBox1->ItemText(0), "Main");
    EXPECT_EQ(window->CheckListBox1->ItemText(1), "");
    EXPECT_EQ(window->CheckListBox1->ItemText(2), "Main");
    // An empty awards list is open all the same.
    EXPECT_TRUE(window->RxDBLookupCombo2->CanDropDown());
}

}  // namespace
}  // namespace telvora::app
