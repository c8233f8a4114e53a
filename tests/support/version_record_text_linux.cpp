#include "version_record_text.h"

namespace telvora::test {
namespace {

// "\n" and "\\" stand for a line break and a backslash.
std::string Escape(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\n') {
            out += "\\n";
        } else {
            out += c;
        }
    }
    return out;
}

std::string Hex4(std::uint16_t value) {
    static const char* digits = "0123456789ABCDEF";
    std::string out(4, '0');
    for (int i = 3; i >= 0; --i) {
        out[static_cast<size_t>(i)] = digits[value & 0xF];
        value = static_cast<std::uint16_t>(value >> 4);
    }
    return out;
}

// The two 32-bit halves of a fixed version -> "1,0,2,2".
std::string FourNumbers(std::uint32_t ms, std::uint32_t ls) {
    return std::to_string(ms >> 16) + "," + std::to_string(ms & 0xFFFF) + "," +
           std::to_string(ls >> 16) + "," + std::to_string(ls & 0xFFFF);
}

}  // namespace

std::string SerializeVersionRecord(const platform::VersionRecord& record) {
    std::string out = "TelvoraVersionRecord/1\n";
    out +=
        "FileVersion=" + FourNumbers(record.fixed.fileVersionMS, record.fixed.fileVersionLS) + "\n";
    out += "ProductVersion=" +
           FourNumbers(record.fixed.productVersionMS, record.fixed.productVersionLS) + "\n";
    for (const platform::VersionTranslation& t : record.translations) {
        out += "Translation=" + Hex4(t.language) + "," + Hex4(t.codePage) + "\n";
    }
    for (const auto& [table, values] : record.stringTables) {
        for (const auto& [name, value] : values) {
            out += "String." + table + "." + name + "=" + Escape(value) + "\n";
        }
    }
    return out;
}

}  // namespace telvora::test
