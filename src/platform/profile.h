// Profile strings: one value of an INI file read or written per call. On Windows these are the
// platform's profile functions (GetPrivateProfileStringW, WritePrivateProfileStringW). On Linux
// our own reader and writer follow their rules; nothing is cached and nothing stays open
// between calls: every call reads the file afresh.
//
// The file format:
// - "[name]" lines open sections; "key=value" lines are entries; lines whose
//   first non-blank character is ";" are comments.
// - Section and key names are matched without regard to (ASCII) case, after
//   blanks around them are dropped. When a name occurs twice, the first one
//   counts.
// - A file that begins with the UTF-16 little-endian byte-order mark is read
//   and written as UTF-16LE (big-endian and UTF-8 marks are honoured the same
//   way). Any other file is text in the system code page; a new file is
//   created that way, with CR LF line ends.
// All texts handed in and out are UTF-8.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace telvora::platform {

// A value read back is cut to this many characters (the 2048-character
// buffer of the Windows call, less its terminating zero).
inline constexpr std::size_t kProfileValueMaxChars = 2047;

// The value of `key` in `section`, or `defaultValue` when the file, the
// section or the key is missing or the file cannot be read. Blanks around the
// value are dropped, then one pair of enclosing quotes (both " or both ').
// The result is at most kProfileValueMaxChars characters.
std::string ReadProfileValue(const std::filesystem::path& file, std::string_view section,
                             std::string_view key, std::string_view defaultValue);

// Sets `key` in `section` to `value`. The file and the section are created
// when missing; an existing key is replaced in place, a new one goes after the
// last entry of its section. Every other line keeps its exact bytes.
// The file is replaced as a whole or not at all (a failed write leaves it as
// it was). Returns false when the write is refused: the file or its folder is
// read-only, the disk is full, the path is not a file, or a name or the value
// could not be stored as one line (line breaks, "=" in a key, empty names).
bool WriteProfileValue(const std::filesystem::path& file, std::string_view section,
                       std::string_view key, std::string_view value);

// The platform's writer behind WriteProfileValue, handed names already trimmed and an entry
// that can be stored.
bool WriteProfileEntry(const std::filesystem::path& file, std::string_view section,
                       std::string_view key, std::string_view value);

// Whether a section, key (both trimmed) and value can be stored as one entry that reads back as
// itself: no line break or NUL in any of them, no "=" in the key, a key that starts no section
// or comment, no empty name. Profile writers write what is handed to them, line breaks
// included, so a value with one would write lines of its own into the file.
bool StorableProfileEntry(std::string_view section, std::string_view key, std::string_view value);

// A profile file in use for a while (one restore or one save of the window
// settings): it holds nothing but the path, and reads and writes through the
// functions above. Where the platform caches profile files (Windows), its
// release flushes that cache for the file (WritePrivateProfileStringW with
// section, key and value all absent); nothing is cached here, so it has
// nothing to do when it goes.
class ProfileFile {
  public:
    explicit ProfileFile(std::filesystem::path file);
#ifdef _WIN32
    ~ProfileFile();
#endif
    ProfileFile(const ProfileFile&) = delete;
    ProfileFile& operator=(const ProfileFile&) = delete;

    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view defaultValue) const;
    bool WriteString(std::string_view section, std::string_view key, std::string_view value) const;

  private:
    std::filesystem::path file_;
};

}  // namespace telvora::platform
