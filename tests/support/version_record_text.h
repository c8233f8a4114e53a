// A version record written as the text the build compiles into the executable, so that tests
// can hand the parser any record they like.
#pragma once

#include <string>

#include "platform/version_record.h"

namespace telvora::test {

std::string SerializeVersionRecord(const platform::VersionRecord& record);

}  // namespace telvora::test
