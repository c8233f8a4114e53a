#include <spawn.h>
#include <sys/wait.h>

#include <string>

#include "platform/shell.h"

extern char** environ;

namespace telvora::platform {

void OpenInNotepad(const std::filesystem::path& file, void*) {
    // Detached: xdg-open may wait for the editor it starts, and the window must not. The shell
    // puts it in the background and ends at once; it is reaped here, xdg-open by init.
    std::string shell = "/bin/sh";
    std::string dashC = "-c";
    std::string script = "xdg-open \"$1\" </dev/null >/dev/null 2>&1 &";
    std::string name = "telvora-open";
    std::string argument = file.string();
    char* argv[] = {shell.data(), dashC.data(),    script.data(),
                    name.data(),  argument.data(), nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, "/bin/sh", nullptr, nullptr, argv, environ) == 0) {
        int status = 0;
        waitpid(pid, &status, 0);
    }
}

}  // namespace telvora::platform
