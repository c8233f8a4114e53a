#include "logdb/query.h"

#include <algorithm>
#include <charconv>
#include <utility>

#include "platform/error.h"
#include "platform/locale_format.h"
#include "platform/text.h"
#include "platform/unicode.h"

namespace telvora::logdb {

namespace {

using platform::CutToCharacters;
using platform::EqualsNoCase;
using platform::TrimControls;

bool StartsQuoteOrMarker(char c) {
    return c == '\'' || c == '"' || c == '`' || c == ':';
}

bool EndsMarkerName(char c) {
    return c == ' ' || c == '\r' || c == '\n' || c == ')' || c == ',' || c == ';';
}

std::optional<std::int64_t> ParseWholeNumber(std::string_view text) {
    const std::string trimmed = TrimControls(text);
    text = trimmed;
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

// A date-time value read from a cell: a stored text, a day count, or the engine's own value.
std::optional<telvora::DateTime> DateTimeOf(const Value& cell) {
    if (const auto* text = std::get_if<std::string>(&cell)) {
        if (auto moment = ParseDateTime(*text)) {
            return moment;
        }
        // A day count kept as text, as a text column stores a number.
        double days = 0;
        const auto [end, ec] = std::from_chars(text->data(), text->data() + text->size(), days);
        if (!text->empty() && ec == std::errc() && end == text->data() + text->size()) {
            return FromDayCount(days);
        }
        return std::nullopt;
    }
    if (const auto* number = std::get_if<std::int64_t>(&cell)) {
        return FromDayCount(static_cast<double>(*number));
    }
    if (const auto* real = std::get_if<double>(&cell)) {
        return FromDayCount(*real);
    }
    if (const auto* moment = std::get_if<telvora::DateTime>(&cell)) {
        return *moment;
    }
    return kZeroDateTime;
}

// A cell's text form: what SetFieldText takes back unchanged into a column of its type.
std::string TextOf(const Value& cell, const ColumnType& type) {
    if (std::holds_alternative<std::monostate>(cell)) {
        return {};
    }
    if (type.kind == ColumnKind::Date || std::holds_alternative<telvora::DateTime>(cell)) {
        if (const auto moment = DateTimeOf(cell)) {
            return DateTimeText(*moment);
        }
    }
    if (const auto* text = std::get_if<std::string>(&cell)) {
        return *text;
    }
    if (const auto* number = std::get_if<std::int64_t>(&cell)) {
        return std::to_string(*number);
    }
    return platform::FormatUserNumber(std::get<double>(cell));
}

// A stored value as a literal's text compares equal to it in the engine.
std::string LiteralOf(const Value& value) {
    if (const auto* text = std::get_if<std::string>(&value)) {
        return *text;
    }
    if (const auto* number = std::get_if<std::int64_t>(&value)) {
        return std::to_string(*number);
    }
    if (const auto* real = std::get_if<double>(&value)) {
        char buffer[64];
        const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, *real);
        return std::string(buffer, ec == std::errc() ? end : buffer);
    }
    if (const auto* moment = std::get_if<telvora::DateTime>(&value)) {
        return FormatDateTime(*moment);
    }
    return {};
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

Value Parameter::Bound() const {
    if (const auto* moment = std::get_if<telvora::DateTime>(&value_)) {
        return type_ == DataType::Date
                   ? telvora::DateTime{std::chrono::floor<std::chrono::days>(*moment)}
                   : *moment;
    }
    if (const auto* text = std::get_if<std::string>(&value_)) {
        return *text;
    }
    if (const auto* number = std::get_if<std::int64_t>(&value_)) {
        return *number;
    }
    return std::monostate{};
}

std::string Parameter::BoundText() const {
    return LiteralOf(Bound());
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
    result_ = Result{};
    columns_.clear();
    current_ = 0;
    eof_ = true;
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
    std::vector<Value> values;
    values.reserve(params_.size());
    for (const Parameter& param : params_) {
        values.push_back(param.Bound());
    }
    std::optional<Result> result = connection_.GetEngine().Execute(sent_, values);
    if (!result) {
        Raise("Missing SQL property");
    }
    result_ = std::move(*result);
    columns_.reserve(result_.columns.size());
    for (const ResultColumn& column : result_.columns) {
        columns_.push_back(column.name);
    }
    current_ = 0;
    eof_ = result_.rows == 0;
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
    eof_ = result_.rows == 0;
}

void Query::Next() {
    RequireActive();
    if (current_ + 1 < result_.rows) {
        ++current_;
    } else {
        eof_ = true;
    }
}

void Query::MoveTo(size_t row) {
    RequireActive();
    if (row >= result_.rows) {
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

const Value* Query::CurrentCell(std::string_view name, size_t& column) const {
    RequireActive();
    column = FieldIndex(name);
    if (result_.rows == 0) {
        return nullptr;  // no row: every column reads as Null
    }
    return &result_.cells[current_ * columns_.size() + column];
}

bool Query::FieldIsNull(std::string_view name) const {
    size_t column = 0;
    const Value* cell = CurrentCell(name, column);
    return cell == nullptr || std::holds_alternative<std::monostate>(*cell);
}

std::string Query::FieldAsText(std::string_view name) const {
    size_t column = 0;
    const Value* cell = CurrentCell(name, column);
    return cell == nullptr ? std::string() : TextOf(*cell, result_.columns[column].type);
}

telvora::DateTime Query::FieldAsDateTime(std::string_view name) const {
    size_t column = 0;
    const Value* cell = CurrentCell(name, column);
    if (cell == nullptr) {
        return kZeroDateTime;
    }
    const std::optional<telvora::DateTime> value = DateTimeOf(*cell);
    if (!value) {
        throw Error(Format("'%s' is not a valid date and time value for field '%s'",
                           TextOf(*cell, result_.columns[column].type).c_str(),
                           columns_[column].c_str()));
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
    if (result_.table.empty()) {
        Raise("Cannot modify a read-only dataset");
    }
    if (appending_ && !pending_.empty()) {
        Post();
    }
    appending_ = true;
    pending_.clear();
}

void Query::SetPending(size_t column, Value value) {
    const std::string& origin = result_.columns[column].origin;
    for (auto& entry : pending_) {
        if (EqualsNoCase(result_.columns[entry.column].origin, origin)) {
            entry.column = column;
            entry.value = std::move(value);
            return;
        }
    }
    pending_.push_back(PendingValue{column, std::move(value)});
}

Value Query::ConvertText(size_t column, const std::string& text) const {
    const ColumnType& type = result_.columns[column].type;
    const std::string& field = columns_[column];
    const bool blank = TrimControls(text).empty();
    switch (type.kind) {
        case ColumnKind::Any:
            return text;
        case ColumnKind::Text:
            return type.maxLength > 0 ? CutToCharacters(text, type.maxLength) : text;
        case ColumnKind::Integer: {
            if (blank) {
                return std::monostate{};
            }
            const auto number = ParseWholeNumber(text);
            if (!number) {
                throw Error(Format("'%s' is not a valid integer value for field '%s'", text.c_str(),
                                   field.c_str()));
            }
            return *number;
        }
        case ColumnKind::Float: {
            if (blank) {
                return std::monostate{};
            }
            const auto number = platform::ParseUserNumber(text);
            if (!number) {
                throw Error(Format("'%s' is not a valid floating point value for field '%s'",
                                   text.c_str(), field.c_str()));
            }
            return *number;
        }
        case ColumnKind::Date: {
            if (blank) {
                return std::monostate{};
            }
            const auto value = ParseDateTime(TrimControls(text));
            if (!value) {
                throw Error(Format("'%s' is not a valid date and time value for field '%s'",
                                   text.c_str(), field.c_str()));
            }
            return *value;
        }
    }
    return text;
}

void Query::SetFieldText(std::string_view name, const std::string& text) {
    RequireActive();
    const size_t column = FieldIndex(name);
    RequireAppending();
    SetPending(column, ConvertText(column, text));
}

void Query::SetFieldDateTime(std::string_view name, telvora::DateTime value) {
    RequireActive();
    const size_t column = FieldIndex(name);
    RequireAppending();
    const ColumnType& type = result_.columns[column].type;
    switch (type.kind) {
        case ColumnKind::Integer:
            Raise(Format("Field '%s' cannot hold a date and time value", columns_[column].c_str()));
        case ColumnKind::Float:
            // Access keeps date-time values as days since 30 December 1899.
            SetPending(column, ToDayCount(value));
            return;
        case ColumnKind::Text:
            SetPending(column, type.maxLength > 0
                                   ? CutToCharacters(FormatDateTime(value), type.maxLength)
                                   : FormatDateTime(value));
            return;
        case ColumnKind::Any:
        case ColumnKind::Date:
            SetPending(column, value);
            return;
    }
}

void Query::Post() {
    RequireActive();
    RequireAppending();
    std::vector<std::string> origins;
    std::vector<Value> values;
    origins.reserve(pending_.size());
    values.reserve(pending_.size());
    for (const PendingValue& entry : pending_) {
        origins.push_back(result_.columns[entry.column].origin);
        values.push_back(entry.value);
    }
    // When the engine refuses the row, its message goes up and the row stays pending, unstored.
    connection_.GetEngine().Insert(result_.table, origins, values);

    // The stored row joins the result as written; columns not given read as Null here.
    const size_t first = result_.cells.size();
    result_.cells.resize(first + columns_.size());
    for (const PendingValue& entry : pending_) {
        for (size_t c = 0; c < columns_.size(); ++c) {
            if (EqualsNoCase(result_.columns[c].origin, result_.columns[entry.column].origin)) {
                result_.cells[first + c] = entry.value;
            }
        }
    }
    current_ = result_.rows++;
    eof_ = false;
    appending_ = false;
    pending_.clear();
}

std::optional<std::string> Query::ComparableText(std::string_view name,
                                                 const std::string& text) const {
    RequireActive();
    const size_t column = FieldIndex(name);
    try {
        const Value stored = ConvertText(column, text);
        if (std::holds_alternative<std::monostate>(stored)) {
            return std::nullopt;
        }
        return LiteralOf(stored);
    } catch (const Error&) {
        return std::nullopt;
    }
}

}  // namespace telvora::logdb
