#include "logdb/logger_databases.h"

#include "platform/error.h"
#include "platform/text.h"

namespace telvora::logdb {

namespace {

// Callsign, district and time come from the network: a single quote in them is doubled so
// that it cannot end the literal early.
void AppendLiteralBody(std::string& out, std::string_view value) {
    platform::AppendQuoteDoubled(out, value, '\'');
}

}  // namespace

std::string QuoteLogName(std::string_view name) {
    return platform::QuoteDoubled(name, '\'');
}

LoggerDatabases::LoggerDatabases()
    : ADOQuery1("ADOQuery1", ADOConnection2),
      AconfigQuery("AconfigQuery", ADOConnection1),
      FindQuery("FindQuery", ADOConnection1),
      avtoQuery("avtoQuery", ADOConnection2) {
    ADOQuery1.SetSql({"SELECT *", "FROM Statistic", "WHERE Description  LIKE \"RDA%\";"});
}

void LoggerDatabases::SetEngine(EngineKind kind) {
    ADOConnection1.SetEngine(kind);
    ADOConnection2.SetEngine(kind);
}

void LoggerDatabases::OpenDatabases(const DatabasePaths& paths) {
    for (auto [connection, path] :
         {std::pair{&ADOConnection1, &paths.logs}, std::pair{&ADOConnection2, &paths.awards}}) {
        connection->Close();
        connection->SetConnectionString(BuildConnectionString(*path));
        connection->SetLoginPrompt(false);
        connection->Open();
    }
}

void LoggerDatabases::CloseDatabases() {
    ADOConnection2.Close();
    ADOConnection1.Close();
}

void LoggerDatabases::ReadAwards() {
    ADOQuery1.Open();
}

std::vector<std::string> LoggerDatabases::ReadLogNames() {
    AconfigQuery.Close();
    AconfigQuery.SetSql({"SELECT * FROM Aconfig"});
    AconfigQuery.Open();
    std::vector<std::string> names;
    names.reserve(AconfigQuery.RecordCount());
    while (!AconfigQuery.Eof()) {
        names.push_back(AconfigQuery.FieldAsText("LogName"));
        AconfigQuery.Next();
    }
    return names;
}

void LoggerDatabases::SelectLogTables(const std::vector<std::string>& checkedNames) {
    if (checkedNames.empty()) {
        throw Error("No log is checked");
    }
    std::string text = "SELECT * FROM Aconfig WHERE LogName = " + QuoteLogName(checkedNames[0]);
    for (size_t i = 1; i < checkedNames.size(); ++i) {
        text += " OR LogName = ";
        text += QuoteLogName(checkedNames[i]);
    }
    AconfigQuery.Close();
    AconfigQuery.SetSql({std::move(text)});
    AconfigQuery.Open();
}

bool LoggerDatabases::FindQso(telvora::Date date, const std::string& callsign,
                              const std::string& district) {
    std::string text;
    std::string condition;
    if (AconfigQuery.Active()) {
        AconfigQuery.First();
    }
    while (!AconfigQuery.Eof()) {
        const std::string table = AconfigQuery.FieldAsText("LogFileName");
        const Engine& engine = ADOConnection1.GetEngine();
        if (condition.empty()) {
            condition = " WHERE QSODate=:adate AND CallSign LIKE " +
                        engine.PrefixPattern(callsign) + " AND State = '";
            AppendLiteralBody(condition, district);
            condition += '\'';
        }
        text += text.empty() ? "SELECT * FROM " : " UNION ALL SELECT * FROM ";
        text += engine.TableName(table);
        text += condition;
        AconfigQuery.Next();
    }

    FindQuery.Close();
    FindQuery.SetSql({std::move(text)});
    const telvora::DateTime day = AtMidnight(date);
    for (size_t i = 0; i < FindQuery.ParamCount(); ++i) {
        Parameter& param = FindQuery.Param(i);
        param.SetDataTypeDate();
        param.SetValue(day);
    }
    FindQuery.Open();
    return !FindQuery.IsEmpty();
}

bool LoggerDatabases::FindCredit(telvora::Date date, const std::string& callsign,
                                 const std::string& time) {
    RunFindCredit(date, callsign, time);
    if (!avtoQuery.IsEmpty()) {
        return true;
    }
    // A credit is stored in the columns' own types: a callsign cut to the column's length, a
    // time as a time column holds it. Look for it in that form too, or a rerun of the same list
    // would append it again.
    const auto storedCallsign = avtoQuery.ComparableText("CallSign", callsign);
    const auto storedTime = avtoQuery.ComparableText("QSOTime", time);
    if (!storedCallsign || !storedTime || (*storedCallsign == callsign && *storedTime == time)) {
        return false;
    }
    RunFindCredit(date, *storedCallsign, *storedTime);
    return !avtoQuery.IsEmpty();
}

void LoggerDatabases::RunFindCredit(telvora::Date date, const std::string& callsign,
                                    const std::string& time) {
    avtoQuery.Close();
    avtoQuery.ClearSql();
    avtoQuery.AddSql("SELECT * ");
    avtoQuery.AddSql("FROM Avtozachet");
    std::string where = "WHERE QSODate =:data and CallSign = '";
    AppendLiteralBody(where, callsign);
    where += "' and QSOTime = '";
    AppendLiteralBody(where, time);
    where += '\'';
    avtoQuery.AddSql(std::move(where));
    avtoQuery.ParamByName("data").SetValue(AtMidnight(date));
    avtoQuery.Open();
}

std::string LoggerDatabases::FoundCallSign() const {
    return FindQuery.FieldAsText("CallSign");
}

std::string LoggerDatabases::FoundQsoTime() const {
    return FindQuery.FieldAsText("QSOTime");
}

std::string LoggerDatabases::CurrentAwardId() const {
    return ADOQuery1.FieldAsText("Id");
}

void LoggerDatabases::AppendCredit(const std::string& awardId) {
    avtoQuery.Append();
    avtoQuery.SetFieldText("Awards", awardId);
    avtoQuery.SetFieldText("CallSign", FindQuery.FieldAsText("CallSign"));
    avtoQuery.SetFieldDateTime("QSODate", FindQuery.FieldAsDateTime("QSODate"));
    avtoQuery.SetFieldText("QSOTime", FindQuery.FieldAsText("QSOTime"));
    avtoQuery.SetFieldText("DigiBand", FindQuery.FieldAsText("DigiBand"));
    avtoQuery.SetFieldText("QSOMode", FindQuery.FieldAsText("QSOMode"));
    avtoQuery.Post();
}

}  // namespace telvora::logdb
