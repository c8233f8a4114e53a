#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/output_file.h"

namespace telvora::platform {

std::optional<std::string> WriteWholeFile(const std::filesystem::path& file,
                                          std::string_view bytes) {
    std::FILE* out = std::fopen(file.c_str(), "wb");
    if (out == nullptr) {
        return std::strerror(errno);
    }
    const std::size_t written = std::fwrite(bytes.data(), 1, bytes.size(), out);
    const int writeError = errno;
    if (written != bytes.size()) {
        std::fclose(out);
        return std::strerror(writeError);
    }
    if (std::fclose(out) != 0) {
        return std::strerror(errno);
    }
    return std::nullopt;
}

}  // namespace telvora::platform
