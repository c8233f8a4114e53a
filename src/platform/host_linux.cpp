#include "platform/host.h"

namespace telvora::platform {

bool OnUnixHost() {
    return true;
}

std::string HostFileName(const std::string& name) {
    return name;
}

}  // namespace telvora::platform
