#include "version_record_text.h"

namespace telvora::test {

platform::VersionRecord MakeVersionRecord(
    std::vector<platform::VersionTranslation> translations,
    std::map<std::string, std::map<std::string, std::string>> tables, std::uint32_t fileVersionMS,
    std::uint32_t fileVersionLS) {
    platform::VersionRecord record;
    record.translations = std::move(translations);
    record.stringTables = std::move(tables);
    record.fixed.fileVersionMS = fileVersionMS;
    record.fixed.fileVersionLS = fileVersionLS;
    return record;
}

}  // namespace telvora::test
