// ParseDistrictLine on arbitrary lines: either an entry with a real calendar date, or one
// of its three messages.
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "districts/district_entry.h"
#include "fuzz_check.h"
#include "platform/error.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view line(reinterpret_cast<const char*>(data), size);
    try {
        const auto entry = telvora::districts::ParseDistrictLine(line);
        FUZZ_CHECK(entry.Date.ok());
        FUZZ_CHECK(static_cast<int>(entry.Date.year()) >= 1);
        FUZZ_CHECK(static_cast<int>(entry.Date.year()) <= 9999);
        FUZZ_CHECK(entry.District.size() + entry.Callsign.size() <= size);
    } catch (const telvora::Error& error) {
        const std::string message = error.what();
        FUZZ_CHECK(message.rfind("List index out of bounds (", 0) == 0 ||
                   message == "Invalid argument to date encode" ||
                   message.find("' is not a valid integer value") != std::string::npos);
    }
    return 0;
}
