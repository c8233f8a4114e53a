// The current user's registry, kept in a per-user file in the standard ".reg" export format
// ("Windows Registry Editor Version 5.00" or "REGEDIT4"; UTF-16LE with byte-order mark as
// regedit writes it, or UTF-8 with or without one). A user can paste an export from Windows.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace telvora::platform {

enum class RegType : std::uint32_t {
    None = 0,
    Sz = 1,
    ExpandSz = 2,
    Binary = 3,
    Dword = 4,
    DwordBigEndian = 5,
    Link = 6,
    MultiSz = 7,
    ResourceList = 8,
    FullResourceDescriptor = 9,
    ResourceRequirementsList = 10,
    Qword = 11,
};

// A value as the registry returns it: strings are UTF-16LE bytes with their terminating NUL,
// numbers little-endian. A value whose data in the file cannot be decoded (bad hex, a string
// without its closing quote) exists but is not readable; data is then empty.
struct RegValue {
    RegType type = RegType::None;
    std::vector<std::uint8_t> data;
    bool readable = true;
};

class RegistryKey {
  public:
    // Names compare without regard to case; "" is the key's default value ("@").
    std::optional<RegValue> QueryValue(std::string_view name) const;

  private:
    friend class CurrentUserRegistry;
    std::vector<std::pair<std::string, RegValue>> values_;  // name folded to lower case
};

class CurrentUserRegistry {
  public:
    explicit CurrentUserRegistry(std::filesystem::path file);

    // ${XDG_CONFIG_HOME:-$HOME/.config}/telvora/HKEY_CURRENT_USER.reg
    static std::filesystem::path DefaultFile();

    // Opens the key (a path below HKEY_CURRENT_USER such as "Software\Quorvex"), creating it
    // when absent: its section header is appended in the file's own encoding and line breaks,
    // the rest of the file is kept byte for byte, and a missing file is created with its
    // folder. nullopt when the key can be neither opened nor created (unreadable file, not a
    // registry file, unwritable folder).
    std::optional<RegistryKey> CreateKey(std::string_view subkey);

  private:
    std::filesystem::path file_;
};

// UTF-16LE bytes to UTF-8, up to the first NUL character or the end; unpaired surrogates
// become U+FFFD and an odd last byte is dropped.
std::string Utf16LeToUtf8(const std::vector<std::uint8_t>& bytes);

}  // namespace telvora::platform
