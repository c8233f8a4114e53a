// The user's number and date formats, as the platform's locale settings give them. On Linux
// they come from the environment (LC_ALL, then LC_NUMERIC or LC_TIME, then LANG) through
// newlocale(), never from the process's global locale: the result does not depend on whether
// anyone called setlocale(), and nothing here changes it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/datetime.h"

namespace telvora::platform {

// The user's decimal separator: "," under ru_RU or de_DE, "." under C or en_US.
std::string DecimalSeparator();

// `value` in the shortest text that reads back as the same number, with the user's decimal
// separator: 144 -> "144", 14.2 -> "14,2" under de_DE, 1e20 -> "1e+20".
std::string FormatUserNumber(double value);

// A number written with the user's decimal separator: an optional sign, digits with at most
// one separator among them, an optional exponent; blanks around it are allowed. No group
// separators, no "inf", "nan" or hexadecimal forms. nullopt for anything else, and for a
// number too large for a double.
std::optional<double> ParseUserNumber(std::string_view text);

// The date in the user's short date format (05.03.2019 under ru_RU and de_DE, 03/05/19 under C).
std::string FormatShortDate(Date date);

}  // namespace telvora::platform
