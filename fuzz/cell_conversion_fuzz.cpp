// The conversions of database cells on arbitrary text and numbers (a cell holds whatever the
// logger or another program wrote): a date-time read from text writes back in both of its text
// forms and as a day count, and each of them reads back as the same moment; a number read in
// the user's format (decimal point or comma, by the first byte) writes back as a text that reads
// back as the same number.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "platform/datetime.h"
#include "platform/locale_format.h"

namespace {

void CheckDateTime(telvora::DateTime moment) {
    FUZZ_CHECK(telvora::ParseDateTime(telvora::DateTimeText(moment)) == moment);
    FUZZ_CHECK(telvora::ParseDateTime(telvora::FormatDateTime(moment)) == moment);
    if (const auto again = telvora::FromDayCount(telvora::ToDayCount(moment))) {
        FUZZ_CHECK(*again == moment);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace telvora;
    if (size == 0) {
        return 0;
    }
    // The user's number format: "1.5" in the C locale, "1,5" under de_DE.
    static const char* current = "";
    const char* locale = data[0] & 1 ? "de_DE.UTF-8" : "C.UTF-8";
    if (std::strcmp(locale, current) != 0) {
        setenv("LC_ALL", locale, 1);
        current = locale;
    }
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);

    if (const auto moment = ParseDateTime(text)) {
        CheckDateTime(*moment);
    }
    if (const auto number = platform::ParseUserNumber(text)) {
        FUZZ_CHECK(std::isfinite(*number));
        FUZZ_CHECK(platform::ParseUserNumber(platform::FormatUserNumber(*number)) == *number);
    }
    if (text.size() >= sizeof(double)) {
        double days = 0;
        std::memcpy(&days, text.data(), sizeof days);
        if (const auto moment = FromDayCount(days)) {
            CheckDateTime(*moment);
        }
        if (std::isfinite(days)) {
            FUZZ_CHECK(platform::ParseUserNumber(platform::FormatUserNumber(days)) == days);
        }
    }
    return 0;
}
