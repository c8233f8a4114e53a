// Small text rules shared by the settings file, the registry file, the district list and the
// credit run.
#pragma once

#include <string>
#include <string_view>

namespace telvora::platform {

// Without leading and trailing characters of code 32 or below (blanks and control
// characters), as the window trims the callsign.
std::string TrimControls(std::string_view text);

// Case folding for names, keys and protocol words, which are ASCII: only A-Z fold, bytes
// of other characters compare as they are, whatever the locale says.
std::string AsciiLower(std::string_view text);
bool EqualsNoCase(std::string_view a, std::string_view b);
bool StartsWithNoCase(std::string_view text, std::string_view prefix);
bool ContainsNoCase(std::string_view text, std::string_view word);

}  // namespace telvora::platform
