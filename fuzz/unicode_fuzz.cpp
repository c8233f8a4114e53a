// The UTF-8 and UTF-16 conversions on arbitrary bytes: every result is valid UTF-8, valid
// text survives the round trip through UTF-16, and the one-character decoder agrees with the
// whole-text checks.
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "platform/unicode.h"

using namespace telvora::platform;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    for (const ByteOrder order : {ByteOrder::kLittleEndian, ByteOrder::kBigEndian}) {
        const std::string text = Utf16ToUtf8(bytes, order);
        FUZZ_CHECK(IsValidUtf8(text));
        FUZZ_CHECK(Utf16ToUtf8(Utf8ToUtf16(text, order), order) == text);
    }

    const std::string repaired = ReplaceInvalidUtf8(bytes);
    FUZZ_CHECK(IsValidUtf8(repaired));
    FUZZ_CHECK(IsValidUtf8(bytes) == (repaired == bytes));

    std::size_t characters = 0;
    for (std::size_t pos = 0; pos < bytes.size();) {
        const std::size_t before = pos;
        const auto character = DecodeUtf8Character(bytes.substr(pos));
        const char32_t code = NextUtf8OrReplacement(bytes, pos);
        FUZZ_CHECK(pos > before && pos <= bytes.size());
        if (character) {
            FUZZ_CHECK(character->code == code && before + character->length == pos);
            std::string again;
            AppendUtf8(again, code);
            FUZZ_CHECK(again == bytes.substr(before, pos - before));
        } else {
            FUZZ_CHECK(code == kReplacementCharacter && pos == before + 1);
        }
        ++characters;
    }
    FUZZ_CHECK(CutToCharacters(repaired, characters) == repaired);
    return 0;
}
