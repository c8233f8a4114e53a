// The executable's version record: what the platform's version-information functions give
// for a file (the translation table, the string tables and the fixed file version). On
// Windows it is the VERSIONINFO resource, read with GetFileVersionInfoW and VerQueryValueW.
//
// On Linux the record is generated at build time and compiled into the executable, in an ELF
// section of its own named ".telvora.version", as line text:
//
//   TelvoraVersionRecord/1
//   FileVersion=1,0,2,2              the fixed part, as a resource script writes it
//   ProductVersion=1,0,2,2
//   Translation=0409,04E4            one line per entry: language, code page (hex)
//   String.040904E4.FileVersion=1.0.2.2
//
// A value keeps everything after the first "="; "\n" and "\\" stand for a line break and a
// backslash.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace telvora::platform {

struct VersionTranslation {
    std::uint16_t language = 0;
    std::uint16_t codePage = 0;
};

// The fixed part (VS_FIXEDFILEINFO's version fields): the most significant 32 bits hold
// major (high 16) and minor (low 16), the least significant release and build.
struct FixedFileVersion {
    std::uint32_t fileVersionMS = 0;
    std::uint32_t fileVersionLS = 0;
    std::uint32_t productVersionMS = 0;
    std::uint32_t productVersionLS = 0;
};

struct VersionRecord {
    std::vector<VersionTranslation> translations;
    // Keyed by the eight hex digits of language and code page ("040904E4").
    std::map<std::string, std::map<std::string, std::string>> stringTables;
    FixedFileVersion fixed;

    // VerQueryValue on "\StringFileInfo\<table>\<name>": names compare without regard to
    // case; nullopt when the table or the value is absent.
    std::optional<std::string> QueryString(std::string_view table, std::string_view name) const;
};

#ifndef _WIN32
// The section that holds the record inside an executable.
inline constexpr const char* kVersionSectionName = ".telvora.version";

// The record from its text; nullopt for a text that is not a record.
std::optional<VersionRecord> ParseVersionRecord(std::string_view text);
#endif

// Reads the record of an executable file (GetFileVersionInfo). nullopt when the file cannot
// be read, is not an ELF file, or carries no record.
std::optional<VersionRecord> ReadVersionRecord(const std::filesystem::path& executable);

}  // namespace telvora::platform
