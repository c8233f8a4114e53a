#include "logdb/query.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <utility>

#include "platform/error.h"
#include "platform/text.h"
#include "platform/unicode.h"

namespace telvora::logdb {

namespace {

using platform::CutToCharacters;
using platform::EqualsNoCase;

bool StartsQuoteOrMarker(char c) {
    return c == '\'' || c == '"' || c == '`' || c == ':';
}

bool EndsMarkerName(char c) {
    return c == ' ' || c == '\r' || c == '\n' || c == ')' || c == ',' || c == ';';
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) {
        text.remove_prefix(1);
    }
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
        text.remove_suffix(1);
    }
    return text;
}

std::string Upper(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return out;
}

std::string QuoteIdentifier(std::string_view name) {
    std::string out = "\"";
    for (char c : name) {
        out += c;
        if (c == '"') {
            out += '"';
        }
    }
    out += '"';
    return out;
}

std::optional<std::int64_t> ParseWholeNumber(std::string_view text) {
    text = TrimBlanks(text);
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (!text.empty() && text.front() == '-') {
            return std::nullopt;
        }
    }
    std::int64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

// A number written with the user's decimal separator (LC_NUMERIC): sign, digits, one
// separator, an optional exponent. No group separators, no "inf"/"nan"/hex forms.
std::optional<double> ParseUserNumber(std::string_view text) {
    text = TrimBlanks(text);
    const char* separator = std::localeconv()->decimal_point;
    const std::string_view point = separator != nullptr && *separator != '\0' ? separator : ".";
    size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        ++i;
    }
    size_t digits = 0;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
        ++i;
        ++digits;
    }
    if (text.substr(i, point.size()) == point) {
        i += point.size();
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0) {
        return std::nullopt;
    }
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
            ++i;
        }
        size_t exponentDigits = 0;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
            ++i;
            ++exponentDigits;
        }
        if (exponentDigits == 0) {
            return std::nullopt;
        }
    }
    if (i != text.size()) {
        return std::nullopt;
    }
    const std::string copy(text);
    const double value = std::strtod(copy.c_str(), nullptr);
    if (!std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

constexpr std::int64_t kSecondsPerDay = 86400;
// Day counts beyond the years 100..9999 are no dates.
constexpr double kMinOleDays = -657434.0;
constexpr double kMaxOleDays = 2958466.0;

// Days since 30 December 1899; the fraction is the time of day also before that date.
std::optional<telvora::DateTime> FromOleDays(double days) {
    if (!std::isfinite(days) || days < kMinOleDays || days >= kMaxOleDays) {
        return std::nullopt;
    }
    const double whole = std::trunc(days);
    const auto seconds =
        static_cast<std::int64_t>(std::llround(std::fabs(days - whole) * double(kSecondsPerDay)));
    return kZeroDateTime + std::chrono::days{static_cast<std::int64_t>(whole)} +
           std::chrono::seconds{seconds};
}

double ToOleDays(telvora::DateTime value) {
    const auto since = (value - kZeroDateTime).count();
    std::int64_t day = since / kSecondsPerDay;
    std::int64_t second = since % kSecondsPerDay;
    if (second < 0) {
        second += kSecondsPerDay;
        --day;
    }
    const double fraction = double(second) / double(kSecondsPerDay);
    return day >= 0 ? double(day) + fraction : double(day) - fraction;
}

// "YYYY-MM-DD HH:MM:SS", as FormatDateTime writes it, for the years 0..9999; false (and
// nothing written) for the others.
constexpr int kDateTimeLength = 19;
bool FormatFourDigitYear(telvora::DateTime value, char (&out)[kDateTimeLength]) {
    using namespace std::chrono;
    const auto day = floor<days>(value);
    const year_month_day ymd{day};
    const int y = int(ymd.year());
    if (y < 0 || y > 9999) {
        return false;
    }
    const auto seconds = (value - day).count();  // 0..86399
    auto put = [&](int at, int digits, long number) {
        for (int i = at + digits - 1; i >= at; --i) {
            out[i] = static_cast<char>('0' + number % 10);
            number /= 10;
        }
    };
    put(0, 4, y);
    out[4] = '-';
    put(5, 2, unsigned(ymd.month()));
    out[7] = '-';
    put(8, 2, unsigned(ymd.day()));
    out[10] = ' ';
    put(11, 2, seconds / 3600);
    out[13] = ':';
    put(14, 2, seconds / 60 % 60);
    out[16] = ':';
    put(17, 2, seconds % 60);
    return true;
}

}  // namespace

ScannedSql ScanParameterMarkers(std::string_view text) {
    ScannedSql out;
    out.text.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        // Plain text is copied in runs up to the next quote or colon.
        size_t special = i;
        while (special < text.size() && !StartsQuoteOrMarker(text[special])) {
            ++special;
        }
        out.text.append(text.substr(i, special - i));
        if (special == text.size()) {
            break;
        }
        i = special;
        const char c = text[i];
        if (c == '\'' || c == '"' || c == '`') {
            const size_t close = text.find(c, i + 1);
            const size_t end = close == std::string_view::npos ? text.size() : close + 1;
            out.text.append(text.substr(i, end - i));
            i = end;
        } else if (c == ':') {
            if (i + 1 < text.size() && text[i + 1] == ':') {
                out.text.append("::");
                i += 2;
                continue;
            }
            size_t end = i + 1;
            while (end < text.size() && !EndsMarkerName(text[end])) {
                ++end;
            }
            out.names.emplace_back(text.substr(i + 1, end - i - 1));
            out.text += '?';
            i = end;
        }
    }
    return out;
}

// ---------------------------------------------------------------------------------------------

void Parameter::SetValue(telvora::DateTime value) {
    value_ = value;
    if (type_ == DataType::Unknown) {
        type_ = DataType::DateTime;
    }
}

void Parameter::SetValue(std::string value) {
    value_ = std::move(value);
    if (type_ == DataType::Unknown) {
        type_ = DataType::Text;
    }
}

void Parameter::SetValue(std::int64_t value) {
    value_ = value;
    if (type_ == DataType::Unknown) {
        type_ = DataType::Integer;
    }
}

telvora::DateTime Parameter::BoundDateTime(telvora::DateTime value) const {
    return type_ == DataType::Date ? telvora::DateTime{std::chrono::floor<std::chrono::days>(value)}
                                   : value;
}

std::string Parameter::BoundText() const {
    if (const auto* dt = std::get_if<telvora::DateTime>(&value_)) {
        return FormatDateTime(BoundDateTime(*dt));
    }
    if (const auto* text = std::get_if<std::string>(&value_)) {
        return *text;
    }
    if (const auto* number = std::get_if<std::int64_t>(&value_)) {
        return std::to_string(*number);
    }
    return {};
}

int Parameter::Bind(sqlite3_stmt* stmt, int position) const {
    if (std::holds_alternative<std::monostate>(value_)) {
        return sqlite3_bind_null(stmt, position);
    }
    if (const auto* number = std::get_if<std::int64_t>(&value_)) {
        return sqlite3_bind_int64(stmt, position, *number);
    }
    if (const auto* text = std::get_if<std::string>(&value_)) {
        return sqlite3_bind_text(stmt, position, text->data(), static_cast<int>(text->size()),
                                 SQLITE_TRANSIENT);
    }
    // A date-time is bound once per execution of every contact search: spare it the general
    // formatting where the year has four digits.
    const auto* dateTime = std::get_if<telvora::DateTime>(&value_);
    char buffer[kDateTimeLength];
    if (dateTime != nullptr && FormatFourDigitYear(BoundDateTime(*dateTime), buffer)) {
        return sqlite3_bind_text(stmt, position, buffer, kDateTimeLength, SQLITE_TRANSIENT);
    }
    const std::string text = BoundText();
    return sqlite3_bind_text(stmt, position, text.data(), static_cast<int>(text.size()),
                             SQLITE_TRANSIENT);
}

// ---------------------------------------------------------------------------------------------

Query::Query(std::string name, Connection& connection)
    : name_(std::move(name)), connection_(connection) {}

void Query::Raise(const std::string& message) const {
    throw Error(name_ + ": " + message);
}

void Query::TextChanged() {
    std::string joined;
    size_t size = 0;
    for (const auto& line : lines_) {
        size += line.size() + 2;
    }
    joined.reserve(size);
    for (const auto& line : lines_) {
        joined.append(line).append("\r\n");
    }
    ScannedSql scanned = ScanParameterMarkers(joined);
    sent_ = std::move(scanned.text);
    params_.clear();
    params_.reserve(scanned.names.size());
    for (auto& name : scanned.names) {
        params_.emplace_back(std::move(name));
    }
}

void Query::ClearSql() {
    Close();
    lines_.clear();
    TextChanged();
}

void Query::AddSql(std::string line) {
    Close();
    lines_.push_back(std::move(line));
    TextChanged();
}

void Query::SetSql(std::vector<std::string> lines) {
    Close();
    lines_ = std::move(lines);
    TextChanged();
}

Parameter& Query::Param(size_t index) {
    if (index >= params_.size()) {
        Raise(Format("Parameter index %zu out of range", index));
    }
    return params_[index];
}

Parameter& Query::ParamByName(std::string_view name) {
    for (auto& param : params_) {
        if (EqualsNoCase(param.Name(), name)) {
            return param;
        }
    }
    Raise(Format("Parameter '%.*s' not found", int(name.size()), name.data()));
}

void Query::Close() {
    active_ = false;
    columns_.clear();
    cells_.clear();
    rowCount_ = 0;
    current_ = 0;
    eof_ = true;
    table_.clear();
    database_.clear();
    origins_.clear();
    targets_.clear();
    appending_ = false;
    pending_.clear();
}

void Query::Open() {
    Close();
    if (lines_.empty()) {
        Raise("Missing SQL property");
    }
    if (!connection_.Connected()) {
        Raise(Format("Connection %s is not open", connection_.Name().c_str()));
    }
    PreparedStatement prepared = connection_.Prepare(sent_);
    if (!prepared) {
        Raise("Missing SQL property");
    }
    sqlite3_stmt* stmt = prepared.get();

    const int markers = prepared.ParameterCount();
    const int bound = std::min<int>(markers, static_cast<int>(params_.size()));
    for (int i = 0; i < bound; ++i) {
        const int rc = params_[i].Bind(stmt, i + 1);
        if (rc != SQLITE_OK) {
            connection_.RaiseEngineError(rc);
        }
    }

    // The first step may prepare the statement again (another program changed the schema), so
    // the columns are taken after it.
    int rc = sqlite3_step(stmt);
    const int columnCount = sqlite3_column_count(stmt);
    std::vector<std::string> columns;
    columns.reserve(columnCount);
    for (int c = 0; c < columnCount; ++c) {
        const char* name = sqlite3_column_name(stmt, c);
        columns.emplace_back(name != nullptr ? name : "");
    }

    std::vector<Cell> cells;
    size_t rows = 0;
    for (; rc == SQLITE_ROW; rc = sqlite3_step(stmt)) {
        for (int c = 0; c < columnCount; ++c) {
            Cell cell;
            cell.type = sqlite3_column_type(stmt, c);
            if (cell.type != SQLITE_NULL) {
                const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, c));
                cell.text.assign(text != nullptr ? text : "",
                                 static_cast<size_t>(sqlite3_column_bytes(stmt, c)));
            }
            cells.push_back(std::move(cell));
        }
        ++rows;
    }
    if (rc != SQLITE_DONE) {
        connection_.RaiseEngineError(rc);
    }

    // New rows can go back only where every column comes straight from the one table read.
    const StatementSource& source = prepared.Source();
    if (source.tablesRead == 1 && columnCount > 0) {
        std::vector<std::string> origins;
        origins.reserve(columnCount);
        bool single = true;
        for (int c = 0; c < columnCount && single; ++c) {
            const char* table = sqlite3_column_table_name(stmt, c);
            const char* database = sqlite3_column_database_name(stmt, c);
            const char* origin = sqlite3_column_origin_name(stmt, c);
            single = table != nullptr && database != nullptr && origin != nullptr &&
                     EqualsNoCase(table, source.table) && source.database == database;
            if (single) {
                origins.emplace_back(origin);
            }
        }
        if (single) {
            table_ = source.table;
            database_ = source.database;
            origins_ = std::move(origins);
        }
    }

    columns_ = std::move(columns);
    cells_ = std::move(cells);
    rowCount_ = rows;
    current_ = 0;
    eof_ = rows == 0;
    active_ = true;
}

void Query::RequireActive() const {
    if (!active_) {
        Raise("Cannot perform this operation on a closed dataset");
    }
}

void Query::First() {
    RequireActive();
    current_ = 0;
    eof_ = rowCount_ == 0;
}

void Query::Next() {
    RequireActive();
    if (current_ + 1 < rowCount_) {
        ++current_;
    } else {
        eof_ = true;
    }
}

void Query::MoveTo(size_t row) {
    RequireActive();
    if (row >= rowCount_) {
        Raise(Format("Row %zu is out of range", row));
    }
    current_ = row;
    eof_ = false;
}

size_t Query::FieldIndex(std::string_view name) const {
    for (size_t i = 0; i < columns_.size(); ++i) {
        if (EqualsNoCase(columns_[i], name)) {
            return i;
        }
    }
    Raise(Format("Field '%.*s' not found", int(name.size()), name.data()));
}

bool Query::HasField(std::string_view name) const {
    return std::any_of(columns_.begin(), columns_.end(),
                       [&](const std::string& column) { return EqualsNoCase(column, name); });
}

const Query::Cell* Query::CurrentCell(std::string_view name) const {
    RequireActive();
    const size_t column = FieldIndex(name);
    if (rowCount_ == 0) {
        return nullptr;  // no row: every column reads as Null
    }
    return &cells_[current_ * columns_.size() + column];
}

bool Query::FieldIsNull(std::string_view name) const {
    const Cell* cell = CurrentCell(name);
    return cell == nullptr || cell->type == SQLITE_NULL;
}

std::string Query::FieldAsText(std::string_view name) const {
    const Cell* cell = CurrentCell(name);
    return cell == nullptr ? std::string() : cell->text;
}

telvora::DateTime Query::FieldAsDateTime(std::string_view name) const {
    const Cell* cell = CurrentCell(name);
    if (cell == nullptr || cell->type == SQLITE_NULL) {
        return kZeroDateTime;
    }
    std::optional<telvora::DateTime> value;
    if (cell->type == SQLITE_INTEGER || cell->type == SQLITE_FLOAT) {
        double days = 0;
        const auto [end, ec] =
            std::from_chars(cell->text.data(), cell->text.data() + cell->text.size(), days);
        if (ec == std::errc() && end == cell->text.data() + cell->text.size()) {
            value = FromOleDays(days);
        }
    } else {
        value = ParseDateTime(cell->text);
    }
    if (!value) {
        throw Error(Format("'%s' is not a valid date and time value for field '%s'",
                           cell->text.c_str(), columns_[FieldIndex(name)].c_str()));
    }
    return *value;
}

// ---------------------------------------------------------------------------------------------

void Query::RequireAppending() const {
    if (!appending_) {
        Raise("Dataset not in edit or insert mode");
    }
}

void Query::Append() {
    RequireActive();
    if (table_.empty()) {
        Raise("Cannot modify a read-only dataset");
    }
    if (appending_ && !pending_.empty()) {
        Post();
    }
    appending_ = true;
    pending_.clear();
}

Query::ColumnTarget& Query::Target(size_t column) {
    if (targets_.size() != columns_.size()) {
        targets_.assign(columns_.size(), ColumnTarget{});
    }
    ColumnTarget& target = targets_[column];
    if (target.resolved) {
        return target;
    }
    target.origin = origins_[column];
    const char* declared = nullptr;
    const char* collation = nullptr;
    int notNull = 0, primaryKey = 0, autoIncrement = 0;
    const int rc = sqlite3_table_column_metadata(connection_.Handle(), database_.c_str(),
                                                 table_.c_str(), target.origin.c_str(), &declared,
                                                 &collation, &notNull, &primaryKey, &autoIncrement);
    if (rc != SQLITE_OK) {
        connection_.RaiseEngineError(rc);
    }
    // Kinds follow SQLite's affinity rules, with the Access type names the logger's files may
    // carry read the way Access means them.
    const std::string type = Upper(declared != nullptr ? declared : "");
    auto has = [&](const char* word) { return type.find(word) != std::string::npos; };
    if (has("INT")) {
        target.kind = ColumnKind::Integer;
    } else if (has("CHAR") || has("CLOB") || has("TEXT") || has("MEMO") || has("GUID")) {
        target.kind = ColumnKind::Text;
        const size_t open = type.find('(');
        if (open != std::string::npos) {
            size_t length = 0;
            const char* begin = type.data() + open + 1;
            const char* end = type.data() + type.size();
            while (begin < end && *begin == ' ') {
                ++begin;
            }
            const auto [stop, ec] = std::from_chars(begin, end, length);
            if (ec == std::errc() && stop != begin) {
                target.maxLength = length;
            }
        }
    } else if (type.empty() || has("BLOB") || has("BINARY")) {
        target.kind = ColumnKind::Any;
    } else if (has("REAL") || has("FLOA") || has("DOUB") || has("SINGLE")) {
        target.kind = ColumnKind::Float;
    } else if (has("DATE") || has("TIME")) {
        target.kind = ColumnKind::Date;
    } else if (has("LONG") || has("BYTE") || has("COUNTER") || has("YESNO") || has("BIT") ||
               has("BOOL")) {
        target.kind = ColumnKind::Integer;
    } else if (has("NUMERIC") || has("DECIMAL") || has("NUMBER") || has("MONEY") ||
               has("CURRENCY")) {
        target.kind = ColumnKind::Float;
    } else {
        target.kind = ColumnKind::Any;  // an unknown type name: keep the text as given
    }
    target.resolved = true;
    return target;
}

void Query::SetPending(size_t column, decltype(PendingValue::value) value) {
    const std::string& origin = origins_[column];
    for (auto& entry : pending_) {
        if (EqualsNoCase(origins_[entry.column], origin)) {
            entry.column = column;
            entry.value = std::move(value);
            return;
        }
    }
    pending_.push_back(PendingValue{column, std::move(value)});
}

void Query::SetFieldText(std::string_view name, const std::string& text) {
    RequireActive();
    const size_t column = FieldIndex(name);
    RequireAppending();
    const ColumnTarget& target = Target(column);
    const std::string& field = columns_[column];
    switch (target.kind) {
        case ColumnKind::Any:
            SetPending(column, text);
            return;
        case ColumnKind::Text:
            SetPending(column,
                       target.maxLength > 0 ? CutToCharacters(text, target.maxLength) : text);
            return;
        case ColumnKind::Integer: {
            if (TrimBlanks(text).empty()) {
                SetPending(column, std::monostate{});
                return;
            }
            const auto number = ParseWholeNumber(text);
            if (!number) {
                throw Error(Format("'%s' is not a valid integer value for field '%s'", text.c_str(),
                                   field.c_str()));
            }
            SetPending(column, *number);
            return;
        }
        case ColumnKind::Float: {
            if (TrimBlanks(text).empty()) {
                SetPending(column, std::monostate{});
                return;
            }
            const auto number = ParseUserNumber(text);
            if (!number) {
                throw Error(Format("'%s' is not a valid floating point value for field '%s'",
                                   text.c_str(), field.c_str()));
            }
            SetPending(column, *number);
            return;
        }
        case ColumnKind::Date: {
            if (TrimBlanks(text).empty()) {
                SetPending(column, std::monostate{});
                return;
            }
            const auto value = ParseDateTime(TrimBlanks(text));
            if (!value) {
                throw Error(Format("'%s' is not a valid date and time value for field '%s'",
                                   text.c_str(), field.c_str()));
            }
            SetPending(column, FormatDateTime(*value));
            return;
        }
    }
}

void Query::SetFieldDateTime(std::string_view name, telvora::DateTime value) {
    RequireActive();
    const size_t column = FieldIndex(name);
    RequireAppending();
    const ColumnTarget& target = Target(column);
    switch (target.kind) {
        case ColumnKind::Integer:
            Raise(Format("Field '%s' cannot hold a date and time value", columns_[column].c_str()));
        case ColumnKind::Float:
            // Access keeps date-time values as days since 30 December 1899.
            SetPending(column, ToOleDays(value));
            return;
        case ColumnKind::Text:
            SetPending(column, target.maxLength > 0
                                   ? CutToCharacters(FormatDateTime(value), target.maxLength)
                                   : FormatDateTime(value));
            return;
        case ColumnKind::Any:
        case ColumnKind::Date:
            SetPending(column, FormatDateTime(value));
            return;
    }
}

void Query::Post() {
    RequireActive();
    RequireAppending();
    std::string sql = "INSERT INTO " + QuoteIdentifier(database_) + "." + QuoteIdentifier(table_);
    if (pending_.empty()) {
        sql += " DEFAULT VALUES";
    } else {
        std::string values;
        sql += " (";
        for (size_t i = 0; i < pending_.size(); ++i) {
            sql += (i == 0 ? "" : ", ") + QuoteIdentifier(origins_[pending_[i].column]);
            values += i == 0 ? "?" : ", ?";
        }
        sql += ") VALUES (" + values + ")";
    }

    PreparedStatement prepared = connection_.Prepare(sql);
    sqlite3_stmt* stmt = prepared.get();
    for (size_t i = 0; i < pending_.size(); ++i) {
        const int position = static_cast<int>(i + 1);
        const auto& value = pending_[i].value;
        int rc = SQLITE_OK;
        if (const auto* text = std::get_if<std::string>(&value)) {
            rc = sqlite3_bind_text(stmt, position, text->data(), static_cast<int>(text->size()),
                                   SQLITE_STATIC);
        } else if (const auto* number = std::get_if<std::int64_t>(&value)) {
            rc = sqlite3_bind_int64(stmt, position, *number);
        } else if (const auto* real = std::get_if<double>(&value)) {
            rc = sqlite3_bind_double(stmt, position, *real);
        } else {
            rc = sqlite3_bind_null(stmt, position);
        }
        if (rc != SQLITE_OK) {
            connection_.RaiseEngineError(rc);
        }
    }
    const int rc = sqlite3_step(stmt);
    if (rc != SQLITE_DONE) {
        connection_.RaiseEngineError(rc);  // the row stays pending, unstored
    }

    // The stored row joins the result as written; columns not given read as Null here.
    std::vector<Cell> row(columns_.size());
    for (const auto& entry : pending_) {
        for (size_t c = 0; c < columns_.size(); ++c) {
            if (!EqualsNoCase(origins_[c], origins_[entry.column])) {
                continue;
            }
            Cell& cell = row[c];
            if (const auto* text = std::get_if<std::string>(&entry.value)) {
                cell = Cell{*text, SQLITE_TEXT};
            } else if (const auto* number = std::get_if<std::int64_t>(&entry.value)) {
                cell = Cell{std::to_string(*number), SQLITE_INTEGER};
            } else if (const auto* real = std::get_if<double>(&entry.value)) {
                char buffer[64];
                sqlite3_snprintf(sizeof buffer, buffer, "%!.15g", *real);
                cell = Cell{buffer, SQLITE_FLOAT};
            }
        }
    }
    for (auto& cell : row) {
        cells_.push_back(std::move(cell));
    }
    current_ = rowCount_++;
    eof_ = false;
    appending_ = false;
    pending_.clear();
}

}  // namespace telvora::logdb
