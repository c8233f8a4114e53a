#include "credit/error_list.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/codepage.h"
#include "platform/error.h"
#include "platform/locale_format.h"

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
    const auto fail = [&file](int error) {
        throw Error(
            Format("Cannot create file \"%s\". %s", file.string().c_str(), std::strerror(error)));
    };
    std::FILE* out = std::fopen(file.c_str(), "wb");
    if (out == nullptr) {
        fail(errno);
    }
    const size_t written = std::fwrite(bytes.data(), 1, bytes.size(), out);
    const int writeError = errno;
    if (written != bytes.size()) {
        std::fclose(out);
        fail(writeError);
    }
    if (std::fclose(out) != 0) {
        fail(errno);
    }
}

}  // namespace telvora::credit
