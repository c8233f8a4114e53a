// Small text rules shared by the settings file and the credit run.
#pragma once

#include <string>
#include <string_view>

namespace telvora::platform {

// Without leading and trailing characters of code 32 or below (blanks and control
// characters), as the window trims the callsign.
std::string TrimControls(std::string_view text);

}  // namespace telvora::platform
