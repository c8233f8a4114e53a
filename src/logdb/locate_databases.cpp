#include "logdb/locate_databases.h"

#include "platform/error.h"
#include "platform/registry.h"
#include "platform/unicode.h"

namespace telvora::logdb {

namespace {

constexpr const char* kLoggerKey = "Software\\Quorvex";
constexpr const char* kInstallPath = "InstallPath";

// The logger's folder as stored: the string is taken literally (an expandable string is not
// expanded) up to its first NUL.
std::string ReadFolder(const platform::RegistryKey& key) {
    const auto value = key.QueryValue(kInstallPath);
    if (!value) {
        return {};
    }
    if (value->readable && value->data.empty()) {
        return {};
    }
    if (value->type != platform::RegType::Sz && value->type != platform::RegType::ExpandSz) {
        throw Error(Format("Invalid data type for '%s'", kInstallPath));
    }
    if (!value->readable) {
        throw Error(Format("Failed to get data for '%s'", kInstallPath));
    }
    return platform::Utf16LeToUtf8(value->data);
}

}  // namespace

DatabasePaths LocateDatabases(platform::CurrentUserRegistry& registry) {
    DatabasePaths paths;
    const auto key = registry.CreateKey(kLoggerKey);
    if (!key) {
        return paths;  // no key to read: both paths stay empty, and nothing is reported
    }
    const std::string folder = ReadFolder(*key);
    // No separator is put in between: the folder is used exactly as stored.
    paths.logs = folder + "db\\logs.mdb";
    paths.awards = folder + "db\\awards.mdb";
    return paths;
}

}  // namespace telvora::logdb
