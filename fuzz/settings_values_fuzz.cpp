// The settings file's values on arbitrary text (a user may edit Telvora.ini): every integer read
// writes back as a decimal that reads the same, a position word reads as the integer it is, and
// a written position reads back word for word.
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "settings/profile_values.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace telvora::settings;
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    if (const auto number = ParseInteger(text)) {
        FUZZ_CHECK(ParseInteger(std::to_string(*number)) == number);
        char hex[16];
        std::snprintf(hex, sizeof hex, "$%X", static_cast<std::uint32_t>(*number));
        FUZZ_CHECK(ParseInteger(hex) == number);
    }
    FUZZ_CHECK(IntegerOr(text, 7) == ParseInteger(text).value_or(7));

    const auto words = SplitWords(text);
    for (std::size_t index = 1; index <= words.size() + 1; ++index) {
        const auto expected =
            index <= words.size() ? ParseInteger(words[index - 1]).value_or(-3) : -3;
        FUZZ_CHECK(WordOr(text, index, -3) == expected);
    }
    for (const std::string_view word : words) {
        FUZZ_CHECK(!word.empty() && word.find_first_of(" ,") == std::string_view::npos);
    }

    std::int32_t values[4] = {};
    for (std::size_t i = 0; i < 4 && i * 4 + 4 <= size; ++i) {
        values[i] =
            static_cast<std::int32_t>(data[i * 4] | data[i * 4 + 1] << 8 | data[i * 4 + 2] << 16 |
                                      static_cast<std::uint32_t>(data[i * 4 + 3]) << 24);
    }
    const std::string position = FormatPosition(values[0], values[1], values[2], values[3]);
    for (std::size_t i = 0; i < 4; ++i) {
        FUZZ_CHECK(WordOr(position, i + 1, 0) == values[i]);
    }
    return 0;
}
