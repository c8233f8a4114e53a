// "Upload log" as every shell runs it. The credit run is synchronous on the one user-interface
// thread and lets the window handle its pending messages between entries, so the window's
// input reaches it while it goes on. What the run's window services must then guarantee lives
// here once:
//   - one run at a time: a second click (mouse, Enter, Space) during a run starts nothing;
//   - input that arrived while the run held the thread (a click during the download of an
//     empty list) is handled before the run counts as ended, so it starts nothing either;
//   - a close asked for during a run is refused, the run stops after the entry it is on (its
//     credit stored, the partial error list not written), and the window then closes;
//   - a failure that ends the run goes to the default error handling, and the window stays
//     usable.
// The shell implements UploadShell with its controls and calls Click and CloseRequested.
#pragma once

#include <exception>
#include <filesystem>
#include <functional>
#include <string>

#include "credit/credit_run.h"

namespace telvora::logdb {
class LoggerDatabases;
}
namespace telvora::districts {
class NetHTTPClient;
}

namespace telvora::app {

// What a shell's window does for a run: the credit run's window services (its StopRequested
// is not asked: the controller answers it), and what the controller needs around the run.
class UploadShell : public credit::RunWindow {
  public:
    // Handles the input still queued when the run ends (the platform's events not yet
    // delivered included); called while the run still counts as going on.
    virtual void HandleQueuedInput() = 0;
    // The default error handling.
    virtual void ShowFailure(std::exception_ptr failure) = 0;
    // Closes the window (the close asked for during a run, once the run has stopped); the
    // window's close handling (the settings file) runs as for any close.
    virtual void CloseWindow() = 0;
};

class UploadController {
  public:
    // The run itself, given the window's services: the credit run on the window's inputs.
    using Run = std::function<void(credit::RunWindow& window)>;

    explicit UploadController(UploadShell& shell);
    UploadController(const UploadController&) = delete;
    UploadController& operator=(const UploadController&) = delete;

    // btnUploadClick. False when a run is going on: this click starts nothing.
    bool Click(const Run& run);

    // True from the click to the end of the run, the handling of the queued input included.
    bool RunInProgress() const { return running_; }

    // The user asks to close the window: true when it may close now; false during a run,
    // which then stops after its current entry and closes the window at its end.
    bool CloseRequested();

    // A close was asked for during the run that goes on.
    bool StopRequested() const { return closeAfterRun_; }

  private:
    class Window;

    UploadShell& shell_;
    bool running_ = false;
    bool closeAfterRun_ = false;
};

// The run frmMain starts on a click: the district list for the inputs' callsign downloaded
// through `client` from `serviceBase`, "ErrorList.txt" where the executable keeps it (beside
// it; see platform/user_files.h).
void RunCreditUpdate(logdb::LoggerDatabases& databases, districts::NetHTTPClient& client,
                     const std::string& serviceBase, const std::filesystem::path& executablePath,
                     const credit::RunInputs& inputs, credit::RunWindow& window);

}  // namespace telvora::app
