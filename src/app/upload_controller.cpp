#include "app/upload_controller.h"

#include "districts/net_http_client.h"
#include "platform/user_files.h"

namespace telvora::app {

// The credit run's view of the window: the shell's services, and the stop once a close was
// asked for during the run.
class UploadController::Window : public credit::RunWindow {
  public:
    explicit Window(UploadController& controller) : controller_(controller) {}
    void SetProgress(int position) override { controller_.shell_.SetProgress(position); }
    void ProcessMessages() override { controller_.shell_.ProcessMessages(); }
    void ShowWarning(const std::string& text) override { controller_.shell_.ShowWarning(text); }
    std::string SelectedAwardId() const override { return controller_.shell_.SelectedAwardId(); }
    void OpenErrorList(const std::filesystem::path& file) override {
        controller_.shell_.OpenErrorList(file);
    }
    bool StopRequested() const override { return controller_.closeAfterRun_; }

  private:
    UploadController& controller_;
};

UploadController::UploadController(UploadShell& shell) : shell_(shell) {}

bool UploadController::Click(const Run& run) {
    if (running_) {
        return false;
    }
    running_ = true;
    try {
        Window window(*this);
        run(window);
    } catch (...) {
        // Shown while the run still counts as going on: a click during the box starts nothing.
        shell_.ShowFailure(std::current_exception());
    }
    // What the user did while the run held the thread is still queued: handled now, while a
    // second run is refused.
    try {
        shell_.HandleQueuedInput();
    } catch (...) {
        shell_.ShowFailure(std::current_exception());
    }
    running_ = false;
    if (closeAfterRun_) {
        closeAfterRun_ = false;
        shell_.CloseWindow();
    }
    return true;
}

bool UploadController::CloseRequested() {
    if (!running_) {
        return true;
    }
    // Closing in the middle of a run would tear the databases away under it.
    closeAfterRun_ = true;
    return false;
}

void RunCreditUpdate(logdb::LoggerDatabases& databases, districts::NetHTTPClient& client,
                     const std::string& serviceBase, const std::filesystem::path& executablePath,
                     const credit::RunInputs& inputs, credit::RunWindow& window) {
    credit::CreditRun run(
        databases,
        [&](const std::string& callsign) {
            return districts::DownloadDistrictList(client, serviceBase, callsign);
        },
        platform::ErrorListFile(executablePath));
    run.Execute(inputs, window);
}

}  // namespace telvora::app
