// How the settings file spells its values: integers, position texts and the
// quoting that protects a value from the profile reader's quote removal.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace telvora::settings {

// A signed 32-bit integer: decimal with an optional sign, or hexadecimal after
// "$", "x" or "0x" (either case; a sign may stand before the prefix, and up to
// eight hex digits wrap into the negative range as two's complement).
// nullopt for anything else, including an empty text and out-of-range numbers.
std::optional<std::int32_t> ParseInteger(std::string_view text);

// ParseInteger, or `fallback` when the text is no such number.
std::int32_t IntegerOr(std::string_view text, std::int32_t fallback);

// The words of a position text: it is split at runs of blanks and commas, so
// "10, 20,,30 40" gives 10, 20, 30 and 40.
std::vector<std::string_view> SplitWords(std::string_view text);

// Word `index` (from 1) of a position text read as an integer, or `fallback`
// when that word is missing or not a number.
std::int32_t WordOr(std::string_view text, std::size_t index, std::int32_t fallback);

// "%d,%d,%d,%d".
std::string FormatPosition(std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d);

// A non-empty value that begins and ends with a double quote, or begins and
// ends with a single quote, gets one more double quote on each side, so that
// the reader's removal of one pair gives it back unchanged.
std::string QuoteValue(std::string_view value);

}  // namespace telvora::settings
