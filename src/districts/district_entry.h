// One line of the district list, and the reading of it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/datetime.h"

namespace telvora::districts {

// District and Callsign are kept exactly as they stand in the line: not trimmed, not
// case-folded, not checked, possibly empty.
struct DistrictEntry {
    std::string District;
    std::string Callsign;
    telvora::Date Date;

    bool operator==(const DistrictEntry&) const = default;
};

// Reads "district,callsign,DD.MM.YYYY[,anything]". Throws telvora::Error with
// "List index out of bounds (%d)", "'%s' is not a valid integer value" or
// "Invalid argument to date encode".
DistrictEntry ParseDistrictLine(std::string_view line);

// The comma-separated fields of a line, with the list's quoting rules (a field that begins
// with a double quote runs to the matching closing quote; "" inside stands for one quote).
// An empty line has no fields.
std::vector<std::string> SplitDistrictFields(std::string_view line);

// Reads a day, month or year piece the way the list's dates have always been read: leading
// blanks, an optional sign, then decimal digits or, after "$", "x", "X", "0x" or "0X",
// hexadecimal digits; nothing after them. False when the piece is not such a number.
bool ReadListInteger(std::string_view piece, int& value);

}  // namespace telvora::districts
