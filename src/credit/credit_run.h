// The credit update run behind "Upload log": download the district list for the callsign,
// find each entry among the ticked logs' contacts, append the missing credits, and collect
// the entries that matched nothing into "ErrorList.txt".
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "districts/body_lines.h"

namespace telvora::logdb {
class LoggerDatabases;
}

namespace telvora::credit {

// What the run needs of the main window. Tests and the benchmark implement it without one.
class RunWindow {
  public:
    virtual ~RunWindow() = default;
    // ProgressBar's position, 0..100; repaints before it returns.
    virtual void SetProgress(int position) = 0;
    // Handles every pending window message (input, painting) and returns.
    virtual void ProcessMessages() = 0;
    // The modal "Warning" dialog with one "OK" button.
    virtual void ShowWarning(const std::string& text) = 0;
    // Read afresh at every appended credit: the award may change while the run goes on.
    virtual std::string SelectedAwardId() const = 0;
    // Opens the error list in the user's editor; the outcome is not examined.
    virtual void OpenErrorList(const std::filesystem::path& file) = 0;
    // True once the user asked to close the window: the run stops after the current entry.
    virtual bool StopRequested() const { return false; }
};

// The inputs as the window holds them when the run starts.
struct RunInputs {
    std::string callsign;                  // Edit1's text, untrimmed
    std::vector<std::string> checkedLogs;  // names of the ticked items, in list order
    std::string awardText;                 // the drop-down's displayed text
};

using DownloadFunction = std::function<districts::TextLines(const std::string& callsign)>;

inline constexpr const char* kCheckAllParameters = "Check all parametrs.";

// One run, as btnUploadClick does it. Failures propagate as exceptions; credits appended
// before a failure stay stored and the error list collected so far is dropped.
class CreditRun {
  public:
    CreditRun(logdb::LoggerDatabases& databases, DownloadFunction download,
              std::filesystem::path errorListFile);

    void Execute(const RunInputs& inputs, RunWindow& window);

  private:
    logdb::LoggerDatabases& databases_;
    DownloadFunction download_;
    std::filesystem::path errorListFile_;
};

}  // namespace telvora::credit
