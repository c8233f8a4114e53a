#include "app/version_text.h"

#include <cstdio>

namespace telvora::app {

std::string TranslationKey(const platform::VersionTranslation& translation) {
    char key[16];
    std::snprintf(key, sizeof key, "%04X%04X", static_cast<unsigned>(translation.language),
                  static_cast<unsigned>(translation.codePage));
    return key;
}

std::string VersionText(const std::optional<platform::VersionRecord>& record) {
    if (!record) {
        return {};
    }
    if (!record->translations.empty()) {
        const std::string key = TranslationKey(record->translations.front());
        if (auto value = record->QueryString(key, "FileVersion"); value && !value->empty()) {
            return *value;
        }
    }
    char text[64];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", record->fixed.fileVersionMS >> 16,
                  record->fixed.fileVersionMS & 0xFFFF, record->fixed.fileVersionLS >> 16,
                  record->fixed.fileVersionLS & 0xFFFF);
    return text;
}

std::string StatusVersionText(const std::optional<platform::VersionRecord>& record) {
    return "v" + VersionText(record);
}

}  // namespace telvora::app
