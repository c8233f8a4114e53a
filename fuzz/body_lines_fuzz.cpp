// BodyToLines on arbitrary bodies: lines of valid UTF-8 without breaks or NULs, or the
// one failure of a body marked as UTF-8.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "districts/body_lines.h"
#include "fuzz_check.h"
#include "platform/error.h"
#include "platform/unicode.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Unmarked bodies are read in the locale's charset; fix one with multi-byte sequences.
    setenv("LC_ALL", "C.UTF-8", 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view body(reinterpret_cast<const char*>(data), size);
    try {
        const auto lines = telvora::districts::BodyToLines(body);
        for (const std::string_view line : lines) {
            FUZZ_CHECK(line.find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos);
            FUZZ_CHECK(telvora::platform::IsValidUtf8(line));
        }
    } catch (const telvora::Error& error) {
        FUZZ_CHECK(body.substr(0, 3) == "\xEF\xBB\xBF");
        FUZZ_CHECK(std::string(error.what()) ==
                   "No mapping for the Unicode character exists in the target multi-byte code "
                   "page");
    }
    return 0;
}
