// Calendar dates and date-time values as the logger's databases hold them.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace telvora {

// A calendar date without time of day.
using Date = std::chrono::year_month_day;

// A wall-clock date-time without zone, to the second. The databases store it as
// text "YYYY-MM-DD HH:MM:SS".
using DateTime = std::chrono::sys_seconds;

// What a Null date-time column reads as: 30 December 1899, midnight.
inline constexpr DateTime kZeroDateTime{
    std::chrono::sys_days{std::chrono::year{1899} / 12 / 30}.time_since_epoch()};

inline DateTime AtMidnight(Date date) {
    return DateTime{std::chrono::sys_days{date}.time_since_epoch()};
}

// "YYYY-MM-DD HH:MM:SS" (year with four digits, zero-padded).
std::string FormatDateTime(DateTime value);

// Reads "YYYY-MM-DD", "YYYY-MM-DD HH:MM", "YYYY-MM-DD HH:MM:SS" (also with "T"
// between date and time, and fractional seconds ignored). nullopt otherwise.
std::optional<DateTime> ParseDateTime(std::string_view text);

}  // namespace telvora
