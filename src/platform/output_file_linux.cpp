#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "platform/files.h"
#include "platform/output_file.h"

namespace telvora::platform {

std::optional<std::string> WriteWholeFile(const std::filesystem::path& file,
                                          std::string_view bytes) {
    // A file the user marked read-only stays as it is, as on Windows. A link at the name is
    // replaced, never written through.
    std::error_code ec;
    const auto status = std::filesystem::symlink_status(file, ec);
    if (std::filesystem::is_regular_file(status) && !IsWritable(file)) {
        return std::strerror(EACCES);
    }
    // A sibling replaces the old file in one step: a failed write (a full disk) leaves the old
    // list whole, never a cut one.
    std::error_code error;
    if (!ReplaceViaSibling(file, bytes, 0666, error)) {
        return std::strerror(error.value());
    }
    return std::nullopt;
}

}  // namespace telvora::platform
