#include "platform/executable.h"

namespace telvora::platform {

std::filesystem::path ExecutablePath() {
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path() : self;
}

}  // namespace telvora::platform
