// Telvora.exe: records district award credits in the companion logger's awards database.
#include <windows.h>

#include "app/win32/program.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int showCommand) {
    telvora::app::MainWindowOptions options;
    options.serviceBase = std::string("https://") + TELVORA_SERVICE_HOST;
    return telvora::app::RunProgram(showCommand, std::move(options));
}
