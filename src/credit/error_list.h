// "ErrorList.txt": the district entries that matched no logged contact.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "districts/district_entry.h"

namespace telvora::credit {

// "<date in the user's short date format> <callsign> <district>".
std::string ErrorListLine(const districts::DistrictEntry& entry);

// Creates or overwrites the file whole: the lines in the locale's code page, each ending
// in CR LF, no byte-order mark. Raises "Cannot create file "%s". %s" when it cannot.
void WriteErrorList(const std::filesystem::path& file, const std::vector<std::string>& lines);

}  // namespace telvora::credit
