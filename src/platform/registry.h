// The current user's registry (HKEY_CURRENT_USER). On Windows it is the registry itself; on
// Linux it is kept in a per-user file in the standard ".reg" export format ("Windows Registry
// Editor Version 5.00" or "REGEDIT4"; UTF-16LE with byte-order mark as regedit writes it, or
// UTF-8 with or without one), so a user can paste an export from Windows.
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
// numbers little-endian. A value whose data cannot be read (on Linux: bad hex or a string
// without its closing quote in the file) exists but is not readable; data is then empty.
struct RegValue {
    RegType type = RegType::None;
    std::vector<std::uint8_t> data;
    bool readable = true;
};

// An open key; on Windows it holds the key's handle until it goes.
class RegistryKey {
  public:
    // Names compare without regard to case; "" is the key's default value ("@").
    std::optional<RegValue> QueryValue(std::string_view name) const;

#ifdef _WIN32
    RegistryKey(RegistryKey&& other) noexcept;
    RegistryKey& operator=(RegistryKey&& other) noexcept;
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    ~RegistryKey();
#endif

  private:
    friend class CurrentUserRegistry;
#ifdef _WIN32
    explicit RegistryKey(void* handle) : handle_(handle) {}
    void* handle_ = nullptr;  // HKEY
#else
    RegistryKey() = default;
    std::vector<std::pair<std::string, RegValue> > values_;  // name folded to lower case
#endif
};

class CurrentUserRegistry {
  public:
#ifdef _WIN32
    CurrentUserRegistry() = default;
#else
    explicit CurrentUserRegistry(std::filesystem::path file = DefaultFile());

    // ${XDG_CONFIG_HOME:-$HOME/.config}/telvora/HKEY_CURRENT_USER.reg
    static std::filesystem::path DefaultFile();
#endif

    // Opens the key (a path below HKEY_CURRENT_USER such as "Software\Quorvex") with full
    // access, creating it when absent (non-volatile, no class, default security). On Linux its
    // section header is appended in the file's own encoding and line breaks, the rest of the
    // file is kept byte for byte, and a missing file is created with its folder. nullopt when
    // the key can be neither opened nor created (on Linux: an unreadable or read-only file, one
    // that is no registry file, an unwritable folder).
    std::optional<RegistryKey> CreateKey(std::string_view subkey);

#ifndef _WIN32
  private:
    std::filesystem::path file_;
#endif
};

}  // namespace telvora::platform
