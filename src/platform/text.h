// Small text rules shared by the settings file, the registry file, the district list and the
// credit run.
#pragma once

#include <string>
#include <string_view>

namespace telvora::platform {

// Without leading and trailing characters of code 32 or below (blanks and control
// characters), as the window trims the callsign.
std::string TrimControls(std::string_view text);

// Without leading and trailing blanks and tabs (" ", "\t"): names and values of INI and .reg
// lines, words of a position text, header values of HTTP.
std::string_view TrimBlanks(std::string_view text);

// Without leading and trailing blanks, tabs, form feeds and vertical tabs (" \t\f\v": the
// white space of isspace but the line breaks), as the profile reader trims names and values.
std::string_view TrimBlanksAndFeeds(std::string_view text);

// `text` with every `quote` in it doubled, appended to `out`: the body of a quoted SQL literal
// ('Field''s'), a quoted identifier ("a""b") or a quoted connection-string value.
void AppendQuoteDoubled(std::string& out, std::string_view text, char quote);
// The same enclosed in `quote`: QuoteDoubled("Field's", '\'') is 'Field''s'.
std::string QuoteDoubled(std::string_view text, char quote);

// Case folding for names, keys and protocol words, which are ASCII: only A-Z fold, bytes
// of other characters compare as they are, whatever the locale says.
std::string AsciiLower(std::string_view text);
bool EqualsNoCase(std::string_view a, std::string_view b);
bool StartsWithNoCase(std::string_view text, std::string_view prefix);
bool ContainsNoCase(std::string_view text, std::string_view word);

}  // namespace telvora::platform
