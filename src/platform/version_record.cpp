#include "platform/version_record.h"

#include "platform/text.h"

namespace telvora::platform {

std::optional<std::string> VersionRecord::QueryString(std::string_view table,
                                                      std::string_view name) const {
    for (const auto& [key, values] : stringTables) {
        if (!EqualsNoCase(key, table)) {
            continue;
        }
        for (const auto& [value_name, value] : values) {
            if (EqualsNoCase(value_name, name)) {
                return value;
            }
        }
    }
    return std::nullopt;
}

}  // namespace telvora::platform
