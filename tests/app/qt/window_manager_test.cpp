// The window's place under a real window manager: the real executable on a real X server
// (Xvfb on a display of its own) managed by openbox, which frames the window with a title bar
// and a border. The frame is measured as the X server holds it (the window manager's frame
// window, the direct child of the root that holds the program's window); the window is closed
// as a user closes it, through the window manager.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QPoint>
#include <QRect>
#include <chrono>
#include <cstring>
#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app_test_support.h"

// Xlib last: its macros (None, Bool, KeyPress, ...) would clash with Qt's names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace telvora::app {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr const char* kTitle = "Telvora statistic from csv file";
constexpr int kScreenWidth = 1280;
constexpr int kScreenHeight = 800;
// A guard against a condition that never comes (a server that does not start, a window
// that never shows): never a measure of speed.
constexpr auto kPatience = 60s;

// Polls `done` until it holds or the patience runs out.
bool WaitFor(const std::function<bool()>& done) {
    const auto give_up = std::chrono::steady_clock::now() + kPatience;
    while (!done()) {
        if (std::chrono::steady_clock::now() > give_up) {
            return false;
        }
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

// A child process with its own environment additions, its output in `log`. Killed when
// still running at the end of its scope.
class Child {
  public:
    Child(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
          const fs::path& log, int keepFd = -1) {
        pid_ = fork();
        if (pid_ == 0) {
            for (const auto& [name, value] : env) {
                if (value.empty()) {
                    unsetenv(name.c_str());
                } else {
                    setenv(name.c_str(), value.c_str(), 1);
                }
            }
            const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
            if (out >= 0) {
                dup2(out, STDOUT_FILENO);
                dup2(out, STDERR_FILENO);
            }
            for (int fd = 3; fd < 256; ++fd) {
                if (fd != keepFd) {
                    close(fd);
                }
            }
            std::vector<char*> args;
            for (const std::string& arg : argv) {
                args.push_back(const_cast<char*>(arg.c_str()));
            }
            args.push_back(nullptr);
            execvp(args[0], args.data());
            _exit(127);
        }
    }
    ~Child() {
        if (Running()) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    pid_t Pid() const { return pid_; }
    bool Running() {
        if (pid_ <= 0 || exitCode_) {
            return false;
        }
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) != pid_) {
            return true;
        }
        exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return false;
    }
    // The exit code once the process has ended by itself, nullopt while it runs on.
    std::optional<int> WaitForExit() {
        WaitFor([this] { return !Running(); });
        return exitCode_;
    }
    void Terminate() {
        if (Running()) {
            kill(pid_, SIGTERM);
            if (!WaitFor([this] { return !Running(); })) {
                kill(pid_, SIGKILL);
            }
        }
    }

  private:
    pid_t pid_ = -1;
    std::optional<int> exitCode_;
};

std::optional<std::vector<long>> CardinalProperty(Display* x, Window window, const char* name) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    const Atom property = XInternAtom(x, name, False);
    if (XGetWindowProperty(x, window, property, 0, 64, False, AnyPropertyType, &type, &format,
                           &count, &after, &data) != Success ||
        data == nullptr) {
        return std::nullopt;
    }
    std::optional<std::vector<long>> values;
    if (format == 32) {
        const auto* longs = reinterpret_cast<const long*>(data);
        values.emplace(longs, longs + count);
    }
    XFree(data);
    return values;
}

// Xvfb on the first free display, openbox managing it, and a connection to it.
class ManagedDisplay {
  public:
    explicit ManagedDisplay(const fs::path& dir) {
        int pipeFds[2];
        if (pipe(pipeFds) != 0) {
            return;
        }
        const std::string screen =
            std::to_string(kScreenWidth) + "x" + std::to_string(kScreenHeight) + "x24";
        // -displayfd: the server takes the first free display and writes its number back.
        server_.emplace(
            std::vector<std::string>{"Xvfb", "-displayfd", std::to_string(pipeFds[1]), "-screen",
                                     "0", screen, "-nolisten", "tcp", "-noreset"},
            std::map<std::string, std::string>{}, dir / "xvfb.log", pipeFds[1]);
        close(pipeFds[1]);
        std::string number;
        char c = 0;
        while (read(pipeFds[0], &c, 1) == 1 && c != '\n') {
            number += c;
        }
        close(pipeFds[0]);
        if (number.empty()) {
            return;
        }
        name_ = ":" + number;
        x_ = XOpenDisplay(name_.c_str());
        if (x_ == nullptr) {
            return;
        }
        // Windows come and go while the tree is walked; a request on one that has just gone
        // fails, and its window is skipped (Xlib's own handler would end the test program).
        XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
        fs::create_directories(dir / "openbox-config");
        manager_.emplace(std::vector<std::string>{"openbox"},
                         std::map<std::string, std::string>{
                             {"DISPLAY", name_},
                             {"HOME", dir.string()},
                             {"XDG_CONFIG_HOME", (dir / "openbox-config").string()}},
                         dir / "openbox.log");
        // A window manager announces itself on the root window once it manages the screen.
        const auto announced = [this] {
            return CardinalProperty(x_, DefaultRootWindow(x_), "_NET_SUPPORTING_WM_CHECK")
                .has_value();
        };
        WaitFor([&] { return announced() || !manager_->Running(); });
        managed_ = announced() && manager_->Running();
    }
    ~ManagedDisplay() {
        if (x_ != nullptr) {
            XCloseDisplay(x_);
        }
        if (manager_) {
            manager_->Terminate();
        }
        if (server_) {
            server_->Terminate();
        }
    }

    bool Managed() const { return managed_; }
    const std::string& Name() const { return name_; }
    Display* X() const { return x_; }

  private:
    std::optional<Child> server_;
    std::optional<Child> manager_;
    std::string name_;
    Display* x_ = nullptr;
    bool managed_ = false;
};

struct FramedWindow {
    Window window = None;  // the program's own window
    QRect frame;           // the window manager's frame window, on the root
    QRect client;          // the program's window in root coordinates
};

class WindowManagerTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        static test::TempDir serverDir;
        display_ = new ManagedDisplay(serverDir.path());
    }
    static void TearDownTestSuite() {
        delete display_;
        display_ = nullptr;
    }

    void SetUp() override {
        ASSERT_TRUE(display_->Managed())
            << "Xvfb and openbox must be installed (scripts/install-deps.sh); see "
            << "xvfb.log and openbox.log";
        test::WriteSmallLogger(dir.path(), dir / "config" / "telvora" / "HKEY_CURRENT_USER.reg");
        // Telvora.ini lives beside the executable: a copy of its own for this test.
        fs::create_directories(dir / "bin");
        fs::copy_file(TELVORA_EXECUTABLE, Executable());
    }

    fs::path Executable() const { return dir / "bin" / "telvora"; }
    fs::path Ini() const { return dir / "bin" / "Telvora.ini"; }
    Display* X() const { return display_->X(); }

    // The program's top-level window once the window manager shows it framed.
    std::optional<FramedWindow> FindFramed(pid_t pid) const {
        Window root = DefaultRootWindow(X());
        Window unusedRoot = None;
        Window unusedParent = None;
        Window* frames = nullptr;
        unsigned int frameCount = 0;
        XSync(X(), False);
        if (!XQueryTree(X(), root, &unusedRoot, &unusedParent, &frames, &frameCount)) {
            return std::nullopt;
        }
        std::optional<FramedWindow> found;
        for (unsigned int i = 0; i < frameCount && !found; ++i) {
            found = ClientIn(frames[i], pid);
        }
        if (frames != nullptr) {
            XFree(frames);
        }
        return found;
    }

    // Searches below one frame window for the program's viewable window.
    std::optional<FramedWindow> ClientIn(Window frame, pid_t pid) const {
        std::vector<Window> pending{frame};
        while (!pending.empty()) {
            const Window window = pending.back();
            pending.pop_back();
            if (window != frame && IsProgramWindow(window, pid)) {
                return Measure(frame, window);
            }
            Window unusedRoot = None;
            Window unusedParent = None;
            Window* children = nullptr;
            unsigned int count = 0;
            if (XQueryTree(X(), window, &unusedRoot, &unusedParent, &children, &count)) {
                pending.insert(pending.end(), children, children + count);
                if (children != nullptr) {
                    XFree(children);
                }
            }
        }
        return std::nullopt;
    }

    bool IsProgramWindow(Window window, pid_t pid) const {
        const auto windowPid = CardinalProperty(X(), window, "_NET_WM_PID");
        if (!windowPid || windowPid->empty() || windowPid->front() != pid) {
            return false;
        }
        XWindowAttributes attributes;
        if (!XGetWindowAttributes(X(), window, &attributes) || attributes.map_state != IsViewable) {
            return false;
        }
        char* name = nullptr;
        const bool titled =
            XFetchName(X(), window, &name) && name != nullptr && std::strcmp(name, kTitle) == 0;
        if (name != nullptr) {
            XFree(name);
        }
        return titled;
    }

    std::optional<FramedWindow> Measure(Window frame, Window client) const {
        XWindowAttributes outer;
        XWindowAttributes inner;
        int x = 0;
        int y = 0;
        Window unusedChild = None;
        if (!XGetWindowAttributes(X(), frame, &outer) ||
            !XGetWindowAttributes(X(), client, &inner) ||
            !XTranslateCoordinates(X(), client, DefaultRootWindow(X()), 0, 0, &x, &y,
                                   &unusedChild)) {
            return std::nullopt;
        }
        FramedWindow found;
        found.window = client;
        found.frame = QRect(outer.x, outer.y, outer.width + 2 * outer.border_width,
                            outer.height + 2 * outer.border_width);
        found.client = QRect(x, y, inner.width, inner.height);
        return found;
    }

    // Asks the window manager to close the window, as its close button does.
    void CloseThroughWindowManager(Window window) const {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = XInternAtom(X(), "_NET_CLOSE_WINDOW", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] = CurrentTime;
        event.xclient.data.l[1] = 2;  // from a pager: a direct user action
        XSendEvent(X(), DefaultRootWindow(X()), False,
                   SubstructureRedirectMask | SubstructureNotifyMask, &event);
        XFlush(X());
    }

    struct Run {
        std::optional<FramedWindow> shown;
        std::optional<int> exitCode;
        std::string boxes;
    };

    // One start of the program: shown, measured, closed by the user, ended.
    Run StartMeasureAndClose(const std::string& locale = "C.UTF-8") {
        const fs::path boxes = dir / "boxes.log";
        fs::remove(boxes);
        Child program({Executable().string()},
                      {{"DISPLAY", display_->Name()},
                       {"QT_QPA_PLATFORM", "xcb"},
                       {"XDG_CONFIG_HOME", (dir / "config").string()},
                       {"TELVORA_TEST_MESSAGE_LOG", boxes.string()},
                       {"TELVORA_TEST_CLOSE_AFTER_SHOW", ""},
                       {"LC_ALL", locale},
                       {"QT_SCALE_FACTOR", ""}},
                      dir / "telvora.log");
        Run run;
        WaitFor([&] {
            run.shown = FindFramed(program.Pid());
            return run.shown.has_value() || !program.Running();
        });
        if (run.shown) {
            CloseThroughWindowManager(run.shown->window);
            run.exitCode = program.WaitForExit();
        }
        run.boxes = test::ReadFileBytes(boxes);
        return run;
    }

    std::string NormPos() const {
        const std::string ini = test::ReadFileBytes(Ini());
        const std::string key = "\r\nNormPos=";
        const size_t start = ini.find(key);
        if (start == std::string::npos) {
            return {};
        }
        const size_t value = start + key.size();
        return ini.substr(value, ini.find("\r\n", value) - value);
    }

    static std::string Rect(const QRect& r) {
        std::ostringstream out;
        out << r.left() << "," << r.top() << "," << r.left() + r.width() << ","
            << r.top() + r.height();
        return out.str();
    }

    static ManagedDisplay* display_;
    test::TempDir dir;
};

ManagedDisplay* WindowManagerTest::display_ = nullptr;

TEST_F(WindowManagerTest, TheFrameStandsAtNormPosAndNormPosStaysTheSameOverRestarts) {
    test::WriteFileBytes(Ini(), "[TfrmMain]\r\nNormPos=100,200\r\n");
    std::string firstIni;
    // The users' own locales, one start each.
    const char* locales[] = {"ru_RU.UTF-8", "de_DE.UTF-8", "C.UTF-8", "ru_RU.UTF-8"};
    for (int start = 1; start <= 4; ++start) {
        const Run run = StartMeasureAndClose(locales[start - 1]);
        ASSERT_TRUE(run.shown) << "start " << start << ": no framed window";
        EXPECT_EQ(run.exitCode, 0) << "start " << start;
        EXPECT_EQ(run.boxes, "") << "start " << start;
        const QRect frame = run.shown->frame;
        // Framed: the title bar above the client area.
        EXPECT_GT(run.shown->client.top(), frame.top()) << "start " << start;
        EXPECT_EQ(frame.topLeft(), QPoint(100, 200))
            << "start " << start << ": frame " << Rect(frame) << ", client area "
            << Rect(run.shown->client);
        // What is saved is the outer frame the window stood in.
        EXPECT_EQ(NormPos(), Rect(frame)) << "start " << start;
        if (start == 1) {
            firstIni = test::ReadFileBytes(Ini());
        } else {
            EXPECT_EQ(test::ReadFileBytes(Ini()), firstIni) << "start " << start;
        }
    }
}

TEST_F(WindowManagerTest, WithoutASettingsFileTheFrameStandsAtItsDesignedPlace) {
    const Run run = StartMeasureAndClose();
    ASSERT_TRUE(run.shown) << "no framed window";
    EXPECT_EQ(run.shown->frame.topLeft(), QPoint(439, 274)) << Rect(run.shown->frame);
    EXPECT_EQ(NormPos(), Rect(run.shown->frame));
    EXPECT_EQ(run.exitCode, 0);
}

TEST_F(WindowManagerTest, AWindowOffEveryScreenComesBackWithItsTitleBarInView) {
    const char* stored[] = {"-3000,-200", "200,-5000", "-5000,300", "50000,40000"};
    for (const char* normPos : stored) {
        test::WriteFileBytes(Ini(), std::string("[TfrmMain]\r\nNormPos=") + normPos + "\r\n");
        const Run run = StartMeasureAndClose();
        ASSERT_TRUE(run.shown) << normPos << ": no framed window";
        const QRect frame = run.shown->frame;
        const QRect titleBar(frame.left(), frame.top(), frame.width(),
                             run.shown->client.top() - frame.top());
        EXPECT_TRUE(QRect(0, 0, kScreenWidth, kScreenHeight).contains(titleBar.topLeft()) &&
                    titleBar.bottom() < kScreenHeight)
            << normPos << ": frame " << Rect(frame) << ", client area " << Rect(run.shown->client);
        EXPECT_EQ(NormPos(), Rect(frame)) << normPos;
        EXPECT_EQ(run.exitCode, 0) << normPos;
    }
}

}  // namespace
}  // namespace telvora::app
