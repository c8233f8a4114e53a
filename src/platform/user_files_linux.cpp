#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/files.h"
#include "platform/user_files.h"

namespace telvora::platform {
namespace {

namespace fs = std::filesystem;

// A folder of the user's own: owned and writable by them, writable by nobody else (another user
// could plant a link or a file of theirs there), and none of the system's, where packages
// install programs (root owns and can write those too).
bool IsUsersOwnFolder(const fs::path& folder) {
    std::error_code ec;
    const fs::path real = fs::canonical(folder, ec);
    if (ec) {
        return false;
    }
    for (const char* system : {"/usr", "/opt", "/bin", "/sbin", "/lib", "/etc", "/snap"}) {
        const std::string prefix = system;
        const std::string path = real.string();
        if (path == prefix || path.rfind(prefix + "/", 0) == 0) {
            return false;
        }
    }
    struct stat info {};
    return ::stat(real.c_str(), &info) == 0 && info.st_uid == ::geteuid() &&
           (info.st_mode & (S_IWGRP | S_IWOTH)) == 0 && IsWritable(real);
}

// $<variable>, or the fallback below the home folder when it is unset or not absolute (as the
// XDG base directory rules say).
fs::path UserFolder(const char* variable, const char* fallback) {
    const char* value = std::getenv(variable);
    if (value != nullptr && value[0] == '/') {
        return fs::path(value) / "telvora";
    }
    const char* home = std::getenv("HOME");
    return fs::path(home != nullptr ? home : "") / fallback / "telvora";
}

fs::path FileFor(const fs::path& executable, const char* variable, const char* fallback,
                 const char* name) {
    const fs::path folder = executable.parent_path();
    std::error_code ec;
    // A folder that is not there stays as named: writing into it fails and says so.
    if (!fs::exists(folder, ec) || IsUsersOwnFolder(folder)) {
        return folder / name;
    }
    const fs::path own = UserFolder(variable, fallback);
    fs::create_directories(own, ec);  // a failure shows when the file is written
    return own / name;
}

}  // namespace

fs::path SettingsFile(const fs::path& executable) {
    return FileFor(executable, "XDG_CONFIG_HOME", ".config", "Telvora.ini");
}

fs::path ErrorListFile(const fs::path& executable) {
    return FileFor(executable, "XDG_STATE_HOME", ".local/state", "ErrorList.txt");
}

}  // namespace telvora::platform
