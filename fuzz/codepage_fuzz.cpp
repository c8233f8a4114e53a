// The code-page conversions on arbitrary bytes: decoding never fails and gives valid UTF-8;
// encoding that back never fails.
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "platform/codepage.h"
#include "platform/unicode.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const char* const kCharsets[] = {"UTF-8",   "CP1251",      "KOI8-R",         "SHIFT_JIS",
                                            "GB18030", "ISO-2022-JP", "ANSI_X3.4-1968", "UTF-16LE"};
    if (size == 0) {
        return 0;
    }
    const std::string charset = kCharsets[data[0] % (sizeof kCharsets / sizeof kCharsets[0])];
    const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);

    const std::string text = telvora::platform::DecodeCharset(bytes, charset);
    FUZZ_CHECK(telvora::platform::IsValidUtf8(text));
    const std::string encoded = telvora::platform::EncodeCharset(text, charset);
    (void)encoded;
    const std::string fromRaw = telvora::platform::EncodeCharset(bytes, charset);
    (void)fromRaw;
    return 0;
}
