// The current user's registry of Windows.
#include <windows.h>

#include <utility>

#include "platform/registry.h"
#include "platform/wide.h"

namespace telvora::platform {

RegistryKey::RegistryKey(RegistryKey&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)) {}

RegistryKey& RegistryKey::operator=(RegistryKey&& other) noexcept {
    if (this != &other) {
        if (handle_ != nullptr) {
            RegCloseKey(static_cast<HKEY>(handle_));
        }
        handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
}

RegistryKey::~RegistryKey() {
    if (handle_ != nullptr) {
        RegCloseKey(static_cast<HKEY>(handle_));
    }
}

std::optional<RegValue> RegistryKey::QueryValue(std::string_view name) const {
    const auto key = static_cast<HKEY>(handle_);
    const std::wstring wideName = Wide(name);
    DWORD type = REG_NONE;
    DWORD size = 0;
    LONG status = RegQueryValueExW(key, wideName.c_str(), nullptr, &type, nullptr, &size);
    if (status == ERROR_FILE_NOT_FOUND) {
        return std::nullopt;
    }
    RegValue value;
    value.type = static_cast<RegType>(type);
    if (status != ERROR_SUCCESS) {
        value.readable = false;
        return value;
    }
    // The value may grow between the two calls; ask again while it does.
    value.data.resize(size);
    while (true) {
        status = RegQueryValueExW(key, wideName.c_str(), nullptr, &type,
                                  value.data.empty() ? nullptr : value.data.data(), &size);
        if (status != ERROR_MORE_DATA) {
            break;
        }
        value.data.resize(size);
    }
    value.type = static_cast<RegType>(type);
    if (status != ERROR_SUCCESS) {
        value.readable = false;
        value.data.clear();
        return value;
    }
    value.data.resize(size);
    return value;
}

std::optional<RegistryKey> CurrentUserRegistry::CreateKey(std::string_view subkey) {
    HKEY key = nullptr;
    const std::wstring wideSubkey = Wide(subkey);
    const LONG status =
        RegCreateKeyExW(HKEY_CURRENT_USER, wideSubkey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return RegistryKey(key);
}

}  // namespace telvora::platform
