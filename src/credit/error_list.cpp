#include "credit/error_list.h"

#include "platform/codepage.h"
#include "platform/error.h"
#include "platform/locale_format.h"
#include "platform/output_file.h"
#include "platform/paths.h"

namespace telvora::credit {

std::string ErrorListLine(const districts::DistrictEntry& entry) {
    std::string line = platform::FormatShortDate(entry.Date);
    line += ' ';
    line += entry.Callsign;
    line += ' ';
    line += entry.District;
    return line;
}

void WriteErrorList(const std::filesystem::path& file, const std::vector<std::string>& lines) {
    std::string bytes;
    for (const std::string& line : lines) {
        bytes += platform::EncodeAnsi(line);
        bytes += "\r\n";
    }
    if (const auto reason = platform::WriteWholeFile(file, bytes)) {
        throw Error(Format("Cannot create file \"%s\". %s", platform::PathToUtf8(file).c_str(),
                           reason->c_str()));
    }
}

}  // namespace telvora::credit
