// Finding the logger's two database files through its registry entry.
#pragma once

#include <string>

namespace telvora::platform {
class CurrentUserRegistry;
}

namespace telvora::logdb {

struct DatabasePaths {
    std::string logs;
    std::string awards;
};

// Reads InstallPath under the current user's "Software\Quorvex" key (creating the key when it
// is missing) and appends "db\logs.mdb" / "db\awards.mdb" to it as stored.
DatabasePaths LocateDatabases(platform::CurrentUserRegistry& registry);

}  // namespace telvora::logdb
