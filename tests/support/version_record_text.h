// A version record written as the text the build compiles into the executable, so that tests
// can hand the parser any record they like.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/version_record.h"

namespace telvora::test {

#ifndef _WIN32
std::string SerializeVersionRecord(const platform::VersionRecord& record);
#endif

// A record with these translations, string tables and fixed file version.
platform::VersionRecord MakeVersionRecord(
    std::vector<platform::VersionTranslation> translations,
    std::map<std::string, std::map<std::string, std::string>> tables, std::uint32_t fileVersionMS,
    std::uint32_t fileVersionLS);

}  // namespace telvora::test
