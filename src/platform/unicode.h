// UTF-8 and UTF-16 conversions, written once for the settings file, the registry file, the
// district list and the code-page stand-in.
//
// UTF-8 is read strictly everywhere: overlong forms, surrogates (U+D800..U+DFFF), anything
// above U+10FFFF, the old 5- and 6-byte forms and sequences cut short are not characters.
// Where text must be turned into characters anyway, each byte that starts no well-formed
// sequence stands for one U+FFFD, so that a bad byte is seen rather than silently dropped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace telvora::platform {

inline constexpr char32_t kReplacementCharacter = 0xFFFD;

enum class ByteOrder { kLittleEndian, kBigEndian };

// The UTF-8 form of `c`. A surrogate or a value above U+10FFFF is no character and is
// written as U+FFFD, so the output is always valid UTF-8.
void AppendUtf8(std::string& out, char32_t c);

struct Utf8Character {
    char32_t code;
    std::size_t length;  // in bytes, 1 to 4
};

// The character that `text` starts with, or nullopt when it does not start with a complete,
// well-formed UTF-8 sequence (an empty text included).
std::optional<Utf8Character> DecodeUtf8Character(std::string_view text);

// The character at text[pos], moving pos past it. Where no well-formed sequence starts, the
// result is U+FFFD and pos moves by one byte. pos must be below text.size().
char32_t NextUtf8OrReplacement(std::string_view text, std::size_t& pos);

// True when all of `text` is well-formed UTF-8.
bool IsValidUtf8(std::string_view text);

// `text` with every byte that starts no well-formed sequence replaced by U+FFFD; valid
// sequences stay as they are.
std::string ReplaceInvalidUtf8(std::string_view text);

// UTF-16 bytes in the given order to UTF-8. A surrogate without its partner, and an odd byte
// left at the end, each become U+FFFD.
std::string Utf16ToUtf8(std::string_view bytes, ByteOrder order);

// UTF-16LE bytes (a registry string) to UTF-8, up to the first NUL character or the end;
// unpaired surrogates become U+FFFD and an odd last byte is dropped.
std::string Utf16LeToUtf8(const std::vector<std::uint8_t>& bytes);

// UTF-8 to UTF-16 bytes in the given order; characters above U+FFFF become surrogate pairs
// and each byte of invalid UTF-8 becomes U+FFFD.
std::string Utf8ToUtf16(std::string_view utf8, ByteOrder order);

// The byte-order mark that a text file may begin with, telling its encoding.
enum class ByteOrderMark { kNone, kUtf8, kUtf16Le, kUtf16Be };

// The mark that `bytes` begin with; kNone when they begin with none.
ByteOrderMark DetectByteOrderMark(std::string_view bytes);

// The bytes of a mark: EF BB BF, FF FE, FE FF, or none for kNone.
std::string_view ByteOrderMarkBytes(ByteOrderMark mark);

// The first `count` characters of UTF-8 text, counted by the bytes that are not continuation
// bytes (10xxxxxx), so a character is never cut in two.
std::string CutToCharacters(std::string_view utf8, std::size_t count);

}  // namespace telvora::platform
