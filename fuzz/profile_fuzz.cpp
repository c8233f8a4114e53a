// Telvora.ini on arbitrary bytes (users edit and paste it), with a section, key and value taken
// from the input: a read gives valid UTF-8 of at most 2047 characters; a write of names that
// can stand on a line succeeds (unless the file is UTF-16 cut in the middle of a character),
// reads back as written (less the blanks and one pair of quotes the reader drops) and changes
// no other key; a write refused leaves the file as it was.
//
// Input: section NUL key NUL value NUL file bytes; with fewer NULs the missing parts are the
// window's own (TfrmMain, NormPos, 1,2,3,4) and all of the input is the file.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "platform/files.h"
#include "platform/profile.h"
#include "platform/text.h"
#include "platform/unicode.h"
#include "scratch_file.h"

using namespace telvora::platform;

namespace {

struct Input {
    std::string section = "TfrmMain";
    std::string key = "NormPos";
    std::string value = "1,2,3,4";
    std::string_view file;
};

Input Split(const std::string_view all) {
    Input input;
    std::string_view bytes = all;
    std::vector<std::string_view> parts;
    for (int i = 0; i < 3; ++i) {
        const std::size_t nul = bytes.find('\0');
        if (nul == std::string_view::npos) {
            break;
        }
        parts.push_back(bytes.substr(0, nul));
        bytes.remove_prefix(nul + 1);
    }
    if (parts.size() == 3) {
        input.section = parts[0];
        input.key = parts[1];
        input.value = parts[2];
        input.file = bytes;
    } else {
        input.file = all;
    }
    return input;
}

bool CanStandOnALine(std::string_view text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

// What the reader gives back for a value written as it is.
std::string ReadBack(std::string_view value) {
    value = TrimBlanksAndFeeds(value);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return CutToCharacters(value, kProfileValueMaxChars);
}

// A UTF-16 file cut in the middle of a character is never written to.
bool IsTornUtf16(std::string_view file) {
    const ByteOrderMark mark = DetectByteOrderMark(file);
    return (mark == ByteOrderMark::kUtf16Le || mark == ByteOrderMark::kUtf16Be) &&
           file.size() % 2 != 0;
}

void CheckRead(const std::string& text) {
    FUZZ_CHECK(IsValidUtf8(text));
    FUZZ_CHECK(CutToCharacters(text, kProfileValueMaxChars) == text);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Files without a mark are in the locale's code page; fix one that holds every character.
    setenv("LC_ALL", "C.UTF-8", 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Input input = Split(std::string_view(reinterpret_cast<const char*>(data), size));
    const std::filesystem::path file = telvora::fuzz::ScratchFile("Telvora.ini");
    std::error_code ec;
    std::filesystem::remove(file, ec);
    FUZZ_CHECK(ReplaceViaSibling(file, input.file, 0644));

    const ProfileFile profile(file);
    const std::string other = "Other";
    const std::string before = profile.ReadString(input.section, input.key, "-");
    const std::string otherKey = profile.ReadString(input.section, other, "-");
    const std::string otherSection = profile.ReadString(other, input.key, "-");
    CheckRead(before);

    const std::string_view section = TrimBlanksAndFeeds(input.section);
    const std::string_view key = TrimBlanksAndFeeds(input.key);
    const bool storable = !section.empty() && !key.empty() && CanStandOnALine(section) &&
                          CanStandOnALine(key) && CanStandOnALine(input.value) &&
                          key.find('=') == std::string_view::npos && key.front() != '[' &&
                          key.front() != ';' && !IsTornUtf16(input.file);
    const bool written = profile.WriteString(input.section, input.key, input.value);
    FUZZ_CHECK(written == storable);
    if (!written) {
        FUZZ_CHECK(ReadWholeFile(file) == std::string(input.file));
        return 0;
    }
    const std::string read = profile.ReadString(input.section, input.key, "-");
    CheckRead(read);
    // Texts handed in are UTF-8; bytes that are not are written as "?" and need not read back.
    if (IsValidUtf8(input.section) && IsValidUtf8(input.key) && IsValidUtf8(input.value)) {
        FUZZ_CHECK(read == ReadBack(input.value));
    }
    if (!EqualsNoCase(key, other)) {
        FUZZ_CHECK(profile.ReadString(input.section, other, "-") == otherKey);
    }
    if (!EqualsNoCase(section, other)) {
        FUZZ_CHECK(profile.ReadString(other, input.key, "-") == otherSection);
    }
    return 0;
}
