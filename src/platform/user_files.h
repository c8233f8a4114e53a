// Where the program keeps the files it writes for the user, "Telvora.ini" and "ErrorList.txt".
// Beside the executable, as described, wherever the user runs it from a folder of their own (on
// Windows always; on Linux the build tree or an unpacked archive). A copy installed in a folder
// that is not the user's (on Linux: one the user does not own or cannot write, or a system
// folder such as /usr/bin) keeps them in the user's own folders instead, in the same formats:
// Telvora.ini in $XDG_CONFIG_HOME/telvora/ (~/.config/telvora/), ErrorList.txt in
// $XDG_STATE_HOME/telvora/ (~/.local/state/telvora/).
#pragma once

#include <filesystem>

namespace telvora::platform {

std::filesystem::path SettingsFile(const std::filesystem::path& executable);
std::filesystem::path ErrorListFile(const std::filesystem::path& executable);

}  // namespace telvora::platform
