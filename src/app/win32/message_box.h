// The Win32 shell's boxes: MessageBoxW (app/message_box.h's ShowMessage), and the test hook
// its program installs from the environment.
#pragma once

#include "app/message_box.h"

namespace telvora::app {

// The message log of TELVORA_TEST_MESSAGE_LOG, when that variable is set.
void InstallTestMessageLog();

}  // namespace telvora::app
