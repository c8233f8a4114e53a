#include "credit/credit_run.h"

#include "credit/error_list.h"
#include "districts/district_entry.h"
#include "logdb/logger_databases.h"
#include "platform/text.h"

namespace telvora::credit {

CreditRun::CreditRun(logdb::LoggerDatabases& databases, DownloadFunction download,
                     std::filesystem::path errorListFile)
    : databases_(databases),
      download_(std::move(download)),
      errorListFile_(std::move(errorListFile)) {}

void CreditRun::Execute(const RunInputs& inputs, RunWindow& window) {
    window.SetProgress(0);

    // The callsign is tested untrimmed: a text of blanks passes.
    if (inputs.callsign.empty() || inputs.awardText.empty() || inputs.checkedLogs.empty()) {
        window.ShowWarning(kCheckAllParameters);
        return;
    }

    databases_.SelectLogTables(inputs.checkedLogs);
    const districts::TextLines lines = download_(platform::TrimControls(inputs.callsign));
    const int count = static_cast<int>(lines.size());
    const int divisor = count - 1;

    std::vector<std::string> errorList;
    for (int index = 0; index < count; ++index) {
        const districts::DistrictEntry entry = districts::ParseDistrictLine(lines[index]);
        // An empty callsign would be the pattern "%", matching every contact of the day and
        // district: such an entry matches nothing.
        if (!entry.Callsign.empty() &&
            databases_.FindQso(entry.Date, entry.Callsign, entry.District)) {
            const std::string time = databases_.FoundQsoTime();
            // The credit is looked for under the callsign it is written with (the logged one,
            // which may carry a suffix the entry lacks), so a rerun never credits twice.
            const std::string loggedCallsign = databases_.FoundCallSign();
            if (!databases_.FindCredit(entry.Date, loggedCallsign, time)) {
                databases_.AppendCredit(window.SelectedAwardId());
            }
        } else {
            errorList.push_back(ErrorListLine(entry));
        }
        window.ProcessMessages();
        // A list of one line has divisor 0: its only entry completes the run.
        window.SetProgress(divisor > 0 ? index * 100 / divisor : 100);
        // A run that has finished its last entry completes, error list included.
        if (window.StopRequested() && index + 1 < count) {
            return;
        }
    }

    if (!errorList.empty()) {
        WriteErrorList(errorListFile_, errorList);
        window.OpenErrorList(errorListFile_);
    }
}

}  // namespace telvora::credit
