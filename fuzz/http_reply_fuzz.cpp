// A reply's header block and status line on arbitrary bytes: the fields read are well formed
// (a name without blanks at its ends, without ":" or a line break; a value without blanks at
// its ends or a line break), and written out again as "Name: value" lines they read back the
// same. A status line gives a number of at most three digits.
#include <cstdint>
#include <string>
#include <string_view>

#include "districts/http_transport.h"
#include "fuzz_check.h"

namespace {

bool Trimmed(std::string_view text) {
    return text.empty() || (text.front() != ' ' && text.front() != '\t' && text.back() != ' ' &&
                            text.back() != '\t');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace telvora::districts;
    const std::string_view block(reinterpret_cast<const char*>(data), size);

    const long status = StatusOfLine(block.substr(0, block.find('\n')));
    FUZZ_CHECK(status > -100 && status < 1000);
    if (block.starts_with("HTTP/1.1 ") && block.size() >= 12 &&
        block.substr(9, 3).find_first_not_of("0123456789") == std::string_view::npos) {
        FUZZ_CHECK(status == std::stol(std::string(block.substr(9, 3))));
    }

    const std::vector<HeaderField> fields = ParseHeaderFields(block);
    std::string written;
    for (const HeaderField& field : fields) {
        FUZZ_CHECK(!field.name.empty() && Trimmed(field.name) && Trimmed(field.value));
        FUZZ_CHECK(field.name.find_first_of(":\n") == std::string::npos);
        FUZZ_CHECK(field.value.find('\n') == std::string::npos);
        written += field.name + ": " + field.value + "\r\n";
    }
    FUZZ_CHECK(ParseHeaderFields(written) == fields);
    return 0;
}
