#include "platform/profile.h"

#include "platform/text.h"

namespace telvora::platform {
namespace {

bool HasLineBreakOrNul(std::string_view text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

}  // namespace

bool StorableProfileEntry(std::string_view section, std::string_view key, std::string_view value) {
    return !section.empty() && !key.empty() && !HasLineBreakOrNul(section) &&
           !HasLineBreakOrNul(key) && !HasLineBreakOrNul(value) &&
           key.find('=') == std::string_view::npos && key.front() != '[' && key.front() != ';';
}

bool WriteProfileValue(const std::filesystem::path& file, std::string_view section,
                       std::string_view key, std::string_view value) {
    section = TrimBlanksAndFeeds(section);
    key = TrimBlanksAndFeeds(key);
    return !file.empty() && StorableProfileEntry(section, key, value) &&
           WriteProfileEntry(file, section, key, value);
}

ProfileFile::ProfileFile(std::filesystem::path file) : file_(std::move(file)) {}

std::string ProfileFile::ReadString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue) const {
    return ReadProfileValue(file_, section, key, defaultValue);
}

bool ProfileFile::WriteString(std::string_view section, std::string_view key,
                              std::string_view value) const {
    return WriteProfileValue(file_, section, key, value);
}

}  // namespace telvora::platform
