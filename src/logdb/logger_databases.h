// The logger's two databases as the main window holds them: the connections, the four query
// objects, the start-up lists and the statements of the credit run.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "logdb/connection.h"
#include "logdb/locate_databases.h"
#include "logdb/query.h"
#include "platform/datetime.h"

namespace telvora::logdb {

// A log name as a text literal: single quotes doubled, the whole enclosed in single quotes.
std::string QuoteLogName(std::string_view name);

class LoggerDatabases {
  public:
    LoggerDatabases();
    LoggerDatabases(const LoggerDatabases&) = delete;
    LoggerDatabases& operator=(const LoggerDatabases&) = delete;

    Connection ADOConnection1{"ADOConnection1"};  // the logs database
    Connection ADOConnection2{"ADOConnection2"};  // the awards database
    Query ADOQuery1;                              // the awards list, open from start-up on
    Query AconfigQuery;  // the logs list, then the ticked logs' Aconfig rows
    Query FindQuery;     // the contact search; its first row is the found contact
    Query avtoQuery;     // the credit check and the appended credit

    // The engine both connections open their files with (see EngineKind).
    void SetEngine(EngineKind kind);

    // Opens the logs database, then the awards database; a failure leaves the second unopened.
    void OpenDatabases(const DatabasePaths& paths);
    // Closes the awards database, then the logs database: the engine writes out what it holds.
    // The queries keep the rows they have read. Closing closed databases does nothing.
    void CloseDatabases();
    // Executes ADOQuery1; its result stays open as the awards list.
    void ReadAwards();
    // Every Aconfig row's LogName, in the engine's order (Null gives "").
    std::vector<std::string> ReadLogNames();
    // Selects the Aconfig rows of the checked logs (at least one name).
    void SelectLogTables(const std::vector<std::string>& checkedNames);
    // True when a selected log holds a contact of that date whose callsign begins with
    // `callsign` and whose district is `district`; the found contact is FindQuery's first row.
    bool FindQso(telvora::Date date, const std::string& callsign, const std::string& district);
    // True when Avtozachet holds a credit of that date, callsign and time (of any award), the
    // callsign and time compared as they are and as the table's columns would store them.
    bool FindCredit(telvora::Date date, const std::string& callsign, const std::string& time);
    // Appends the found contact's credit for `awardId`; valid right after a FindCredit that
    // returned false.
    void AppendCredit(const std::string& awardId);

    // The found contact's columns that the run reads, as text.
    std::string FoundCallSign() const;
    std::string FoundQsoTime() const;
    // The Id of the awards list's current row, as text.
    std::string CurrentAwardId() const;

  private:
    void RunFindCredit(telvora::Date date, const std::string& callsign, const std::string& time);
};

}  // namespace telvora::logdb
