// The version shown in the status bar, from the executable's version record.
#pragma once

#include <optional>
#include <string>

#include "platform/version_record.h"

namespace telvora::app {

// The string table key of a translation: language then code page, eight upper-case hex
// digits ("040904E4").
std::string TranslationKey(const platform::VersionTranslation& translation);

// The record's "FileVersion" string in the string table of its first translation when that
// is present and not empty; otherwise the fixed file version as "%d.%d.%d.%d"; without a
// record, the empty text.
std::string VersionText(const std::optional<platform::VersionRecord>& record);

// What the status bar's panel shows: "v" followed by the version.
std::string StatusVersionText(const std::optional<platform::VersionRecord>& record);

}  // namespace telvora::app
