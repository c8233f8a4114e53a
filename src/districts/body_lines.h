// The body of the district-list response as text lines.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace telvora::districts {

// Picks the encoding by the byte-order mark (EF BB BF: UTF-8, FF FE: UTF-16LE, FE FF:
// UTF-16BE; none: the locale's code page) and splits the text at CR LF, lone CR and lone LF.
// A NUL character ends the text. A break at the very end adds no empty line. Lines come out
// as UTF-8 without their breaks. Throws telvora::Error when a body marked as UTF-8 is not
// valid UTF-8.
std::vector<std::string> BodyToLines(std::string_view body);

// The same splitting for text that is already UTF-8.
std::vector<std::string> SplitTextLines(std::string_view text);

}  // namespace telvora::districts
