// The registry file on arbitrary bytes (a user may paste any export into it): opening the
// logger's key either refuses and leaves the file as it was, or keeps every byte of it and at
// most appends the key's section, after which the key opens again without another write.
// Values read are valid UTF-8 when read as text.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/unicode.h"
#include "scratch_file.h"

using namespace telvora::platform;

namespace {

void WriteScratch(const std::filesystem::path& file, std::string_view bytes) {
    std::error_code ec;
    std::filesystem::remove(file, ec);
    FUZZ_CHECK(ReplaceViaSibling(file, bytes, 0644));
}

std::string Bytes(const std::filesystem::path& file) {
    const auto bytes = ReadWholeFile(file);
    FUZZ_CHECK(bytes.has_value());
    return *bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view original(reinterpret_cast<const char*>(data), size);
    const std::filesystem::path file = telvora::fuzz::ScratchFile("HKEY_CURRENT_USER.reg");
    WriteScratch(file, original);

    CurrentUserRegistry registry(file);
    const std::optional<RegistryKey> key = registry.CreateKey("Software\\Quorvex");
    const std::string after = Bytes(file);
    if (!key) {
        FUZZ_CHECK(after == original);
        return 0;
    }
    FUZZ_CHECK(after.starts_with(original));

    const std::optional<RegistryKey> again = registry.CreateKey("software\\QUORVEX");
    FUZZ_CHECK(again.has_value());
    FUZZ_CHECK(Bytes(file) == after);
    for (const char* name : {"InstallPath", ""}) {
        const std::optional<RegValue> first = key->QueryValue(name);
        const std::optional<RegValue> second = again->QueryValue(name);
        FUZZ_CHECK(first.has_value() == second.has_value());
        if (after != original) {
            FUZZ_CHECK(!first);  // a section just added holds no values
        }
        if (first) {
            FUZZ_CHECK(first->type == second->type && first->data == second->data);
            FUZZ_CHECK(first->readable || first->data.empty());
            FUZZ_CHECK(IsValidUtf8(Utf16LeToUtf8(first->data)));
        }
    }
    return 0;
}
