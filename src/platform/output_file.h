// A file the program writes for the user ("ErrorList.txt"): created or overwritten as a whole.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace telvora::platform {

// Writes `bytes` as the whole of `file`: a sibling file is written and replaces the old one in
// one step, so that a failure leaves the old file whole; a link at the name is replaced, not
// followed; a file marked read-only is refused. nullopt when done, otherwise the system's reason
// in its own words ("Permission denied", "Access is denied."), UTF-8.
std::optional<std::string> WriteWholeFile(const std::filesystem::path& file,
                                          std::string_view bytes);

}  // namespace telvora::platform
