// The logger's folder as any text the registry value InstallPath may hold, through the real
// registry file: the database paths are that folder as stored, the connection string built for
// each path gives the path back as its Data Source, and the ODBC connection string that opens it
// gives it back as DBQ by the ODBC rules (a braced value, "}}" standing for "}").
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "logdb/connection.h"
#include "logdb/engine.h"
#include "logdb/locate_databases.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "platform/unicode.h"
#include "scratch_file.h"

namespace {

// The value of `key` in an ODBC connection string, read by the ODBC grammar; nullopt when the
// key is missing or the string does not follow the grammar.
std::optional<std::string> OdbcAttribute(std::string_view text, std::string_view key) {
    std::optional<std::string> found;
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t eq = text.find('=', i);
        if (eq == std::string_view::npos) {
            return std::nullopt;
        }
        const std::string_view name = text.substr(i, eq - i);
        std::string value;
        i = eq + 1;
        if (i < text.size() && text[i] == '{') {
            for (++i;; ++i) {
                if (i >= text.size()) {
                    return std::nullopt;
                }
                if (text[i] == '}') {
                    if (i + 1 < text.size() && text[i + 1] == '}') {
                        value += text[++i];
                        continue;
                    }
                    ++i;
                    break;
                }
                value += text[i];
            }
            if (i < text.size() && text[i] != ';') {
                return std::nullopt;
            }
        } else {
            const std::size_t semi = text.find(';', i);
            value = text.substr(i, semi == std::string_view::npos ? semi : semi - i);
            i = semi == std::string_view::npos ? text.size() : semi;
        }
        ++i;  // the ";"
        if (telvora::platform::EqualsNoCase(name, key)) {
            found = std::move(value);
        }
    }
    return found;
}

std::string HexBytes(std::string_view bytes) {
    std::string out;
    for (const char c : bytes) {
        char item[4];
        std::snprintf(item, sizeof item, "%02x,", static_cast<unsigned char>(c));
        out += item;
    }
    return out + "00,00";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace telvora;
    // The registry holds UTF-16 text, which reads up to its first NUL.
    std::string folder =
        platform::ReplaceInvalidUtf8(std::string_view(reinterpret_cast<const char*>(data), size));
    folder = folder.substr(0, folder.find('\0'));

    const std::filesystem::path file = fuzz::ScratchFile("HKEY_CURRENT_USER.reg");
    const std::string wide = platform::Utf8ToUtf16(folder, platform::ByteOrder::kLittleEndian);
    FUZZ_CHECK(platform::ReplaceViaSibling(file,
                                           "Windows Registry Editor Version 5.00\r\n\r\n"
                                           "[HKEY_CURRENT_USER\\Software\\Quorvex]\r\n"
                                           "\"InstallPath\"=hex(2):" +
                                               HexBytes(wide) + "\r\n",
                                           0644));
    platform::CurrentUserRegistry registry(file);
    const logdb::DatabasePaths paths = logdb::LocateDatabases(registry);
    FUZZ_CHECK(paths.logs == folder + "db\\logs.mdb");
    FUZZ_CHECK(paths.awards == folder + "db\\awards.mdb");

    for (const std::string& path : {paths.logs, paths.awards}) {
        FUZZ_CHECK(logdb::ParseDataSource(logdb::BuildConnectionString(path)) == path);
        const std::string odbc = logdb::OdbcConnectionString(path, 5000);
        FUZZ_CHECK(OdbcAttribute(odbc, "DBQ") == path);
        FUZZ_CHECK(OdbcAttribute(odbc, "Driver") == "Microsoft Access Driver (*.mdb)");
    }
    return 0;
}
