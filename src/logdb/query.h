// A query object: the text of one statement, its parameters, and the whole result of its last
// execution held in memory. A result read from one table can take new rows (append, set, post).
// Everything here is the same over every engine; the engine only runs the text and stores rows.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "logdb/connection.h"
#include "logdb/engine.h"
#include "platform/datetime.h"

namespace telvora::logdb {

// The text sent to the engine and the parameter names found in it: outside quotes (single,
// double or back quote; an unpartnered quote runs to the end), a colon starts a named marker
// unless it is one of two colons in a row. The name runs to the first blank, CR, LF, ")", ","
// or ";" (or the end), and colon and name become "?". Same-named markers stay separate.
struct ScannedSql {
    std::string text;
    std::vector<std::string> names;
};
ScannedSql ScanParameterMarkers(std::string_view text);

class Parameter {
  public:
    enum class DataType { Unknown, Date, DateTime, Text, Integer };

    explicit Parameter(std::string name) : name_(std::move(name)) {}

    const std::string& Name() const { return name_; }
    DataType Type() const { return type_; }

    // A date parameter sends only the calendar day of its value, at midnight.
    void SetDataTypeDate() { type_ = DataType::Date; }
    // Setting a value also sets the type when none was chosen.
    void SetValue(telvora::DateTime value);
    void SetValue(std::string value);
    void SetValue(std::int64_t value);
    void SetNull() { value_ = std::monostate{}; }

    // The value as it is bound: a date parameter's value at midnight; Null when none was set.
    Value Bound() const;
    // The same as text ("YYYY-MM-DD HH:MM:SS" for a date-time), "" for Null.
    std::string BoundText() const;

  private:
    std::string name_;
    DataType type_ = DataType::Unknown;
    std::variant<std::monostate, telvora::DateTime, std::string, std::int64_t> value_;
};

class Query {
  public:
    Query(std::string name, Connection& connection);
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;

    const std::string& Name() const { return name_; }
    Connection& GetConnection() const { return connection_; }

    // Text. Every change closes the query first and makes its parameters afresh.
    void ClearSql();
    void AddSql(std::string line);
    void SetSql(std::vector<std::string> lines);
    const std::vector<std::string>& SqlLines() const { return lines_; }
    // The lines, each followed by CR LF, with the markers replaced by "?".
    const std::string& SentText() const { return sent_; }

    size_t ParamCount() const { return params_.size(); }
    Parameter& Param(size_t index);
    // Names compare without regard to case; the first parameter of that name.
    Parameter& ParamByName(std::string_view name);

    // Executes the statement (afresh, also when the query is open) and keeps its whole result;
    // the current row is the first. On failure the query stays closed.
    void Open();
    // Discards the result and any appended row not yet posted.
    void Close();
    bool Active() const { return active_; }

    // Navigation. A closed query reads as empty and at its end.
    bool IsEmpty() const { return result_.rows == 0; }
    bool Eof() const { return eof_; }
    void First();
    void Next();
    size_t RecordCount() const { return result_.rows; }
    size_t RecNo() const { return current_; }
    void MoveTo(size_t row);

    // Columns of the result; names compare without regard to case, the first of equal names
    // wins.
    const std::vector<std::string>& FieldNames() const { return columns_; }
    bool HasField(std::string_view name) const;
    bool FieldIsNull(std::string_view name) const;
    // The value's text form, which SetFieldText takes back unchanged into a column of the same
    // type: integers in decimal, other numbers in the user's number format (shortest form that
    // reads back the same: "144", "14,2" under de_DE), the value of a date or time column as
    // DateTimeText writes it, texts as they are; Null -> "".
    std::string FieldAsText(std::string_view name) const;
    // Stored text "YYYY-MM-DD[ HH:MM[:SS]]" or "HH:MM[:SS]", a number of days since
    // 30 December 1899, or an engine's date-time; Null -> kZeroDateTime. Any other text raises
    // "'%s' is not a valid date and time value for field '%s'".
    telvora::DateTime FieldAsDateTime(std::string_view name) const;

    // A new row at the end of the result; only a result read from one table can take it.
    // A pending row with values set is posted first.
    void Append();
    // Convert by the column's declared type: text (cut to a declared length), integer, floating
    // point, date-time; an empty text stores Null in a numeric or date column.
    void SetFieldText(std::string_view name, const std::string& text);
    void SetFieldDateTime(std::string_view name, telvora::DateTime value);
    // Inserts the pending row with the columns that were set (the others take the table's
    // defaults). When the engine refuses it, its message is raised and the row stays pending.
    void Post();
    bool Appending() const { return appending_; }

    // What SetFieldText(name, text) would store, as the text of a literal that compares equal
    // to it: a text cut to the column's length, a number or a date-time in the engine's own
    // form. nullopt when the text would not convert, or would store Null. Needs an open
    // result; no row has to be appended.
    std::optional<std::string> ComparableText(std::string_view name, const std::string& text) const;

  private:
    void TextChanged();
    [[noreturn]] void Raise(const std::string& message) const;
    size_t FieldIndex(std::string_view name) const;  // raises "Field '%s' not found"
    const Value* CurrentCell(std::string_view name, size_t& column) const;
    void RequireActive() const;
    void RequireAppending() const;
    // The text converted by the column's type, as it would be stored; raises when it does not
    // convert.
    Value ConvertText(size_t column, const std::string& text) const;
    void SetPending(size_t column, Value value);

    std::string name_;
    Connection& connection_;
    std::vector<std::string> lines_;
    std::string sent_;
    std::vector<Parameter> params_;

    bool active_ = false;
    Result result_;
    std::vector<std::string> columns_;  // result_'s column names, as FieldNames gives them
    size_t current_ = 0;
    bool eof_ = true;

    struct PendingValue {
        size_t column;
        Value value;
    };
    bool appending_ = false;
    std::vector<PendingValue> pending_;
};

}  // namespace telvora::logdb
