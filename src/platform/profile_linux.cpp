#include "platform/profile.h"

#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/text.h"
#include "platform/unicode.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>
#include <vector>

namespace telvora::platform {
namespace {

namespace fs = std::filesystem;

// ---- the file as lines ------------------------------------------------------

struct Line {
    std::string raw;   // the line's bytes in the file's encoding, without its break
    std::string eol;   // the bytes of its line break; empty on a last line without one
    std::string text;  // the line as UTF-8
};

// A file without a byte-order mark is in the code page of the locale.
struct ProfileText {
    ByteOrderMark mark = ByteOrderMark::kNone;
    std::vector<Line> lines;
};

std::string Decode(ByteOrderMark mark, std::string_view raw) {
    switch (mark) {
        case ByteOrderMark::kUtf16Le:
            return Utf16ToUtf8(raw, ByteOrder::kLittleEndian);
        case ByteOrderMark::kUtf16Be:
            return Utf16ToUtf8(raw, ByteOrder::kBigEndian);
        case ByteOrderMark::kUtf8:
            return ReplaceInvalidUtf8(raw);
        case ByteOrderMark::kNone:
            break;
    }
    return DecodeAnsi(raw);
}

std::string Encode(ByteOrderMark mark, std::string_view utf8) {
    switch (mark) {
        case ByteOrderMark::kUtf16Le:
            return Utf8ToUtf16(utf8, ByteOrder::kLittleEndian);
        case ByteOrderMark::kUtf16Be:
            return Utf8ToUtf16(utf8, ByteOrder::kBigEndian);
        case ByteOrderMark::kUtf8:
            return ReplaceInvalidUtf8(utf8);
        case ByteOrderMark::kNone:
            break;
    }
    return EncodeAnsi(utf8);
}

bool IsUtf16(ByteOrderMark mark) {
    return mark == ByteOrderMark::kUtf16Le || mark == ByteOrderMark::kUtf16Be;
}

ProfileText Split(std::string_view bytes) {
    ProfileText file;
    file.mark = DetectByteOrderMark(bytes);
    bytes.remove_prefix(ByteOrderMarkBytes(file.mark).size());
    const std::size_t unitSize = IsUtf16(file.mark) ? 2 : 1;

    // CR LF, LF and a lone CR all end a line.
    auto codeAt = [&](std::size_t pos) -> unsigned {
        if (unitSize == 1) {
            return static_cast<unsigned char>(bytes[pos]);
        }
        const auto a = static_cast<unsigned char>(bytes[pos]);
        const auto b = static_cast<unsigned char>(bytes[pos + 1]);
        return file.mark == ByteOrderMark::kUtf16Be ? (a << 8 | b) : (b << 8 | a);
    };
    const std::size_t whole = bytes.size() - bytes.size() % unitSize;
    std::size_t start = 0;
    std::size_t pos = 0;
    while (pos < whole) {
        const unsigned code = codeAt(pos);
        if (code != '\r' && code != '\n') {
            pos += unitSize;
            continue;
        }
        std::size_t end = pos + unitSize;
        if (code == '\r' && end < whole && codeAt(end) == '\n') {
            end += unitSize;
        }
        Line line;
        line.raw = std::string(bytes.substr(start, pos - start));
        line.eol = std::string(bytes.substr(pos, end - pos));
        file.lines.push_back(std::move(line));
        start = pos = end;
    }
    if (start < bytes.size()) {
        Line line;
        line.raw = std::string(bytes.substr(start));
        file.lines.push_back(std::move(line));
    }
    for (Line& line : file.lines) {
        line.text = Decode(file.mark, line.raw);
    }
    return file;
}

std::string Join(const ProfileText& file) {
    std::string out(ByteOrderMarkBytes(file.mark));
    for (const Line& line : file.lines) {
        out += line.raw;
        out += line.eol;
    }
    return out;
}

// The line break for new lines: the file's own, CR LF in a file without one.
std::string NewLineBreak(const ProfileText& file) {
    for (const Line& line : file.lines) {
        if (!line.eol.empty()) {
            return line.eol;
        }
    }
    return Encode(file.mark, "\r\n");
}

// ---- parsing ------------------------------------------------------------------

struct Parsed {
    enum Kind { kBlank, kComment, kSection, kEntry } kind = kBlank;
    std::string_view name;   // section name or key
    std::string_view value;  // entry value, blanks dropped
};

Parsed Parse(std::string_view text) {
    Parsed parsed;
    text = TrimBlanksAndFeeds(text);
    if (text.empty()) {
        return parsed;
    }
    if (text.front() == ';') {
        parsed.kind = Parsed::kComment;
        return parsed;
    }
    if (text.front() == '[') {
        const std::size_t close = text.rfind(']');
        if (close != std::string_view::npos) {
            parsed.kind = Parsed::kSection;
            parsed.name = TrimBlanksAndFeeds(text.substr(1, close - 1));
            return parsed;
        }
    }
    // An entry; a line without "=" is a key with an empty value.
    parsed.kind = Parsed::kEntry;
    const std::size_t eq = text.find('=');
    if (eq == std::string_view::npos) {
        parsed.name = text;
    } else {
        parsed.name = TrimBlanksAndFeeds(text.substr(0, eq));
        parsed.value = TrimBlanksAndFeeds(text.substr(eq + 1));
    }
    return parsed;
}

struct SectionSpan {
    std::size_t header;  // index of the "[name]" line
    std::size_t end;     // one past its last line
};

std::optional<SectionSpan> FindSection(const ProfileText& file, std::string_view section) {
    for (std::size_t i = 0; i < file.lines.size(); ++i) {
        const Parsed p = Parse(file.lines[i].text);
        if (p.kind != Parsed::kSection || !EqualsNoCase(p.name, section)) {
            continue;
        }
        std::size_t end = i + 1;
        while (end < file.lines.size() && Parse(file.lines[end].text).kind != Parsed::kSection) {
            ++end;
        }
        return SectionSpan{i, end};
    }
    return std::nullopt;
}

std::optional<std::size_t> FindKey(const ProfileText& file, const SectionSpan& span,
                                   std::string_view key) {
    for (std::size_t i = span.header + 1; i < span.end; ++i) {
        const Parsed p = Parse(file.lines[i].text);
        if (p.kind == Parsed::kEntry && EqualsNoCase(p.name, key)) {
            return i;
        }
    }
    return std::nullopt;
}

std::string_view StripQuotes(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

// ---- file access --------------------------------------------------------------

// For a writable file in a folder where no new file can be made.
bool RewriteInPlace(const fs::path& target, std::string_view bytes) {
    const int fd = ::open(target.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    bool ok = WriteAll(fd, bytes);
    ok = (::close(fd) == 0) && ok;
    return ok;
}

bool StoreFile(const fs::path& file, const std::optional<std::string>& before,
               const std::string& bytes) {
    std::error_code ec;
    // Replace what a symbolic link points to, not the link.
    fs::path target = fs::exists(file, ec) ? fs::canonical(file, ec) : fs::absolute(file, ec);
    if (ec) {
        return false;
    }
    fs::path folder = target.parent_path();
    const bool exists = before.has_value();
    if (exists && !IsWritable(target)) {
        return false;
    }
    if (exists && *before == bytes) {
        return true;
    }
    mode_t mode = 0666;  // the umask applies to new files
    if (exists) {
        struct stat st {};
        if (::stat(target.c_str(), &st) != 0) {
            return false;
        }
        mode = st.st_mode & 07777;
    }
    if (IsWritable(folder)) {
        if (ReplaceViaSibling(target, bytes, mode)) {
            if (exists) {
                ::chmod(target.c_str(), mode);  // the umask may have cut the mode of the copy
            }
            return true;
        }
        return false;
    }
    return exists && RewriteInPlace(target, bytes);
}

}  // namespace

std::string ReadProfileValue(const std::filesystem::path& file, std::string_view section,
                             std::string_view key, std::string_view defaultValue) {
    const std::string fallback = CutToCharacters(defaultValue, kProfileValueMaxChars);
    section = TrimBlanksAndFeeds(section);
    key = TrimBlanksAndFeeds(key);
    if (key.empty()) {
        return fallback;
    }
    const std::optional<std::string> bytes = ReadWholeFile(file);
    if (!bytes) {
        return fallback;
    }
    const ProfileText text = Split(*bytes);
    const std::optional<SectionSpan> span = FindSection(text, section);
    if (!span) {
        return fallback;
    }
    const std::optional<std::size_t> line = FindKey(text, *span, key);
    if (!line) {
        return fallback;
    }
    return CutToCharacters(StripQuotes(Parse(text.lines[*line].text).value), kProfileValueMaxChars);
}

bool WriteProfileEntry(const std::filesystem::path& file, std::string_view section,
                       std::string_view key, std::string_view value) {
    std::error_code error;
    const std::optional<std::string> before = ReadWholeFile(file, error);
    if (!before && error != std::errc::no_such_file_or_directory) {
        return false;  // unreadable or no file: rewriting it would lose what it holds
    }
    ProfileText text = before ? Split(*before) : ProfileText{};
    if (before && IsUtf16(text.mark) && before->size() % 2 != 0) {
        return false;  // a torn UTF-16 file: lines after its stray byte would be out of step
    }
    const std::string lineBreak = NewLineBreak(text);

    auto makeLine = [&](const std::string& utf8) {
        Line line;
        line.text = utf8;
        line.raw = Encode(text.mark, utf8);
        line.eol = lineBreak;
        return line;
    };
    // A line inserted after the last one needs that one to end first.
    auto endLineBefore = [&](std::size_t index) {
        if (index > 0 && text.lines[index - 1].eol.empty()) {
            text.lines[index - 1].eol = lineBreak;
        }
    };

    const std::optional<SectionSpan> span = FindSection(text, section);
    if (!span) {
        endLineBefore(text.lines.size());
        text.lines.push_back(makeLine("[" + std::string(section) + "]"));
        text.lines.push_back(makeLine(std::string(key) + "=" + std::string(value)));
    } else if (const std::optional<std::size_t> at = FindKey(text, *span, key)) {
        Line& line = text.lines[*at];
        // Keep the key's own spelling and the line's own break.
        const std::string name(Parse(line.text).name);
        const std::string eol = line.eol;
        line = makeLine(name + "=" + std::string(value));
        line.eol = eol;
    } else {
        std::size_t insertAt = span->header + 1;
        for (std::size_t i = span->header + 1; i < span->end; ++i) {
            if (Parse(text.lines[i].text).kind == Parsed::kEntry) {
                insertAt = i + 1;
            }
        }
        endLineBefore(insertAt);
        text.lines.insert(text.lines.begin() + static_cast<std::ptrdiff_t>(insertAt),
                          makeLine(std::string(key) + "=" + std::string(value)));
    }
    return StoreFile(file, before, Join(text));
}

}  // namespace telvora::platform
