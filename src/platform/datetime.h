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
// between date and time, and fractional seconds ignored), and a time of day alone, "HH:MM" or
// "HH:MM:SS", which is that time on 30 December 1899 (the day a date-time value counts from).
// nullopt otherwise.
std::optional<DateTime> ParseDateTime(std::string_view text);

// A date-time value as text in its shortest whole form: "HH:MM:SS" for a time of day alone
// (on 30 December 1899), "YYYY-MM-DD" for a midnight, "YYYY-MM-DD HH:MM:SS" otherwise.
// ParseDateTime reads every one of them back.
std::string DateTimeText(DateTime value);

// Date-time values as day counts since 30 December 1899, the fraction being the time of day
// (also before that day: -1.25 is 29 December 1899, 06:00), as Access stores them.
double ToDayCount(DateTime value);
// nullopt for a count that is no number or lies outside the years 100 to 9999.
std::optional<DateTime> FromDayCount(double days);

}  // namespace telvora
