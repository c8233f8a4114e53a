// Case rules for text the user reads and types, toolkit-free and the same on every platform:
// the drop-down's type-ahead search compares without regard to case, and the application
// title lowers every character after its first. Both follow the Unicode character database's
// simple mappings (one character to one character), as the Qt shell did with QChar.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace telvora::app {

// The simple case folding of one character (U+0041 -> U+0061, U+1E9E -> U+00DF, U+03C2 ->
// U+03C3); a character without one is returned as it is.
char32_t FoldCase(char32_t c);

// The simple lower-case mapping of one character; a character without one is returned as it
// is.
char32_t LowerCase(char32_t c);

// UTF-8 text in lower case, character by character; U+0130 (capital I with dot above) becomes
// "i" followed by U+0307, its full mapping. Bytes that are no UTF-8 become U+FFFD.
std::string LowerCaseText(std::string_view utf8);

// Whether UTF-8 `text` begins with `prefix` when both are compared character by character in
// their case-folded form.
bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix);

// The number of characters of UTF-8 text (a byte that starts no character counts as one).
std::size_t CharacterCount(std::string_view utf8);

// UTF-8 text without its last character; empty text stays empty.
std::string WithoutLastCharacter(std::string_view utf8);

}  // namespace telvora::app
