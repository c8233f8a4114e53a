// The settings file through a real top-level widget on the offscreen platform:
// a plain QWidget with a QLineEdit "Edit1" stands in for the main window.
#include "app/qt/form_storage_binding.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QApplication>
#include <QLineEdit>
#include <QScreen>
#include <QWidget>
#include <QWindow>
#include <memory>
#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/profile.h"
#include "temp_dir.h"

namespace telvora::app {
namespace {

namespace fs = std::filesystem;
using telvora::test::ReadFileBytes;
using telvora::test::TempDir;
using telvora::test::WriteFileBytes;

QApplication& App() {
    static int argc = 1;
    static char name[] = "telvora-test";
    static char* argv[] = {name, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    static QApplication app(argc, argv);
    return app;
}

// One run of the program: the window at its designed place, its binding, and
// the messages the default error handling would show.
class Program {
  public:
    explicit Program(const fs::path& ini, bool nameFile = true) {
        window_ = std::make_unique<QWidget>();
        window_->setFixedSize(373, 205);
        window_->move(439, 274);
        edit_ = new QLineEdit(window_.get());
        edit_->setObjectName("Edit1");
        binding_ = std::make_unique<FormStorageBinding>(
            *window_, [this](std::exception_ptr e) { HandleError(e); }, "TfrmMain");
        if (nameFile) {
            binding_->Storage().SetIniFileName(ini.string());  // FormCreate's first step
        }
    }

    // The default error handling: records what it would show.
    void HandleError(std::exception_ptr error) {
        try {
            std::rethrow_exception(error);
        } catch (const std::exception& ex) {
            messages.push_back(ex.what());
        }
    }
    ~Program() { Exit(); }

    // Shows the window and records where it stood when it became visible.
    void Show() {
        window_->show();
        App().processEvents();
    }
    void Close() {
        window_->close();
        App().processEvents();
    }
    // The window's destructor: the binding's hook runs first.
    void Exit() {
        if (window_) {
            binding_->WindowDestroying();
            binding_.reset();
            window_.reset();
        }
    }

    QWidget& window() { return *window_; }
    QLineEdit& edit() { return *edit_; }
    FormStorageBinding& binding() { return *binding_; }
    std::vector<std::string> messages;

  private:
    std::unique_ptr<QWidget> window_;
    QLineEdit* edit_ = nullptr;
    std::unique_ptr<FormStorageBinding> binding_;
};

class FormStorageBindingTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { App(); }
    fs::path ini() const { return dir_ / "Telvora.ini"; }
    std::string Suffix() const {
        const QSize size = QGuiApplication::primaryScreen()->size();
        return "(" + std::to_string(size.width()) + "x" + std::to_string(size.height()) + ")";
    }
    TempDir dir_;
};

TEST_F(FormStorageBindingTest, CloseAndNewStartBringBackPositionAndCallsign) {
    {
        Program first(ini());
        first.Show();
        EXPECT_EQ(first.window().frameGeometry().topLeft(), QPoint(439, 274));
        first.edit().setText("  R1ABC ");
        first.window().move(120, 150);
        App().processEvents();
        first.Close();
        EXPECT_TRUE(first.messages.empty());
        const QSize outer = first.window().frameGeometry().size();  // with the frame
        const std::string normPos = "120,150," + std::to_string(120 + outer.width()) + "," +
                                    std::to_string(150 + outer.height());
        const std::string dpi =
            std::to_string(std::lround(QGuiApplication::primaryScreen()->logicalDotsPerInchY()));
        EXPECT_EQ(ReadFileBytes(ini()),
                  "[TfrmMain]\r\nFormVersion=0\r\nFlags=0\r\nShowCmd=1\r\nPixelsPerInch=" + dpi +
                      "\r\nMinMaxPos" + Suffix() + "=-1,-1,-1,-1\r\nMinMaxPos=-1,-1,-1,-1\r\n" +
                      "NormPos" + Suffix() + "=" + normPos + "\r\nNormPos=" + normPos + "\r\n" +
                      "Visible=0\r\nEdit1_Text=R1ABC\r\n");
    }

    Program next(ini());
    // Where the window stands at the moment it becomes visible.
    QPoint shownAt(-1, -1);
    next.window().winId();  // the native window exists before the show
    QObject::connect(next.window().windowHandle(), &QWindow::visibleChanged, [&](bool visible) {
        if (visible) {
            shownAt = next.window().frameGeometry().topLeft();
        }
    });
    next.Show();
    EXPECT_EQ(shownAt, QPoint(120, 150));
    EXPECT_EQ(next.window().frameGeometry().topLeft(), QPoint(120, 150));
    EXPECT_EQ(next.window().size(), QSize(373, 205));
    EXPECT_EQ(next.edit().text(), "R1ABC");
    EXPECT_TRUE(next.messages.empty());
}

TEST_F(FormStorageBindingTest, DestructionWithoutCloseSaves) {
    {
        Program program(ini());
        program.Show();
        program.edit().setText("UA9XYZ");
    }  // destroyed without a close
    EXPECT_EQ(platform::ReadProfileValue(ini(), "TfrmMain", "Visible", ""), "1");
    EXPECT_EQ(platform::ReadProfileValue(ini(), "TfrmMain", "Edit1_Text", ""), "UA9XYZ");
}

TEST_F(FormStorageBindingTest, ReadOnlyFileShowsMessageAtCloseAndAgainAtExit) {
    const std::string before = "[TfrmMain]\r\nNormPos=10,20\r\nEdit1_Text=R1ABC\r\n";
    WriteFileBytes(ini(), before);
    ASSERT_EQ(::chmod(ini().c_str(), 0444), 0);
    Program program(ini());
    program.Show();
    EXPECT_EQ(program.window().frameGeometry().topLeft(), QPoint(10, 20));
    EXPECT_EQ(program.edit().text(), "R1ABC");
    program.Close();
    const std::string message = "Unable to write to " + ini().string();
    EXPECT_EQ(program.messages, std::vector<std::string>{message});
    EXPECT_FALSE(program.window().isVisible());  // the window closed all the same
    program.Exit();
    EXPECT_EQ(program.messages, (std::vector<std::string>{message, message}));
    EXPECT_EQ(ReadFileBytes(ini()), before);
}

TEST_F(FormStorageBindingTest, WindowWhoseCreationFailedIsStillRestoredAndSaved) {
    WriteFileBytes(ini(), "[TfrmMain]\r\nNormPos=30,40\r\nEdit1_Text=R1ABC\r\n");
    Program program(ini(), false);
    // The creation code names the file, then opening the logs database fails.
    try {
        program.binding().Storage().SetIniFileName(ini().string());
        throw Error("Data Source not found");
    } catch (...) {
        program.HandleError(std::current_exception());
    }
    program.Show();
    EXPECT_EQ(program.window().frameGeometry().topLeft(), QPoint(30, 40));
    EXPECT_EQ(program.edit().text(), "R1ABC");
    program.edit().setText("R2DEF");
    program.Close();
    EXPECT_EQ(program.messages, std::vector<std::string>{"Data Source not found"});
    EXPECT_EQ(platform::ReadProfileValue(ini(), "TfrmMain", "Edit1_Text", ""), "R2DEF");
    const QSize outer = program.window().frameGeometry().size();
    EXPECT_EQ(
        platform::ReadProfileValue(ini(), "TfrmMain", "NormPos", ""),
        "30,40," + std::to_string(30 + outer.width()) + "," + std::to_string(40 + outer.height()));
}

TEST_F(FormStorageBindingTest, PositionOffEveryScreenIsBroughtBackIntoView) {
    WriteFileBytes(ini(), "[TfrmMain]\r\nNormPos=50000,-40000\r\n");
    Program program(ini());
    program.Show();
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_TRUE(area.intersects(program.window().frameGeometry()))
        << program.window().frameGeometry().x() << "," << program.window().frameGeometry().y();
}

TEST_F(FormStorageBindingTest, PlacementInQtTerms) {
    Program program(ini());
    program.Show();
    platform::WindowPlacement placement = program.binding().GetWindowPlacement();
    EXPECT_EQ(placement.flags, 0u);
    EXPECT_EQ(placement.showCmd, platform::kSwShowNormal);
    EXPECT_EQ(placement.ptMinPosition, (platform::Point{-1, -1}));
    EXPECT_EQ(placement.ptMaxPosition, (platform::Point{-1, -1}));  // after the tidy step
    const QRect outer = program.window().frameGeometry();
    EXPECT_EQ(outer.topLeft(), QPoint(439, 274));
    EXPECT_EQ(placement.rcNormalPosition,
              (platform::Rect{439, 274, 439 + outer.width(), 274 + outer.height()}));
    EXPECT_TRUE(program.binding().IsWindowVisible());

    program.window().setWindowState(Qt::WindowMinimized);
    placement = program.binding().GetWindowPlacement();
    EXPECT_EQ(placement.showCmd, platform::kSwShowMinimized);
    EXPECT_TRUE(program.binding().IsApplicationIconic());
    program.Close();
    EXPECT_EQ(platform::ReadProfileValue(ini(), "TfrmMain", "ShowCmd", ""), "2");
}

TEST_F(FormStorageBindingTest, ComponentsFoundByNameInAnyCase) {
    Program program(ini());
    EXPECT_EQ(program.binding().FindComponent("edit1"), std::optional<std::string>("Edit1"));
    EXPECT_EQ(program.binding().FindComponent("Edit2"), std::nullopt);
    program.binding().SetComponentText("Edit1", "\xD0\x96 R1");
    EXPECT_EQ(program.edit().text(), QString::fromUtf8("\xD0\x96 R1"));
    EXPECT_EQ(program.binding().ComponentText("Edit1"), "\xD0\x96 R1");
    EXPECT_THROW(program.binding().ComponentText("Edit2"), Error);
    EXPECT_EQ(program.binding().ClassName(), "TfrmMain");
}

TEST_F(FormStorageBindingTest, SectionDefaultsToClassNameWithoutNamespace) {
    QWidget window;
    FormStorageBinding binding(window, nullptr);
    EXPECT_EQ(binding.ClassName(), "QWidget");
}

}  // namespace
}  // namespace telvora::app
