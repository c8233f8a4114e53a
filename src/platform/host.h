// The machine underneath the program. Under Wine it is a Unix host whose own libraries serve
// some calls: Wine's odbc32 hands every ODBC call to the host's unixODBC unchanged, so the
// driver manager and the drivers are the host's, and they take Unix paths, not "C:\..." or
// "Z:\...". On Windows proper there is no other host; on Linux the program runs on it.
#pragma once

#include <string>

namespace telvora::platform {

// True on Linux and under Wine: the ODBC driver manager is then unixODBC.
bool OnUnixHost();

// `name` (UTF-8) as the host names that file; unchanged on Linux and on Windows proper.
std::string HostFileName(const std::string& name);

}  // namespace telvora::platform
