#include "platform/profile.h"

#include "platform/codepage.h"
#include "platform/text.h"
#include "platform/unicode.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <fstream>
#include <iterator>
#include <optional>
#include <vector>

namespace telvora::platform {
namespace {

namespace fs = std::filesystem;

// ---- the file as lines ------------------------------------------------------

enum class Encoding { kSystem, kUtf8, kUtf16Le, kUtf16Be };

struct Line {
    std::string raw;   // the line's bytes in the file's encoding, without its break
    std::string eol;   // the bytes of its line break; empty on a last line without one
    std::string text;  // the line as UTF-8
};

struct ProfileText {
    Encoding encoding = Encoding::kSystem;
    std::string bom;
    std::vector<Line> lines;
};

std::string Decode(Encoding encoding, std::string_view raw) {
    switch (encoding) {
        case Encoding::kUtf16Le:
            return Utf16ToUtf8(raw, ByteOrder::kLittleEndian);
        case Encoding::kUtf16Be:
            return Utf16ToUtf8(raw, ByteOrder::kBigEndian);
        case Encoding::kUtf8:
            return ReplaceInvalidUtf8(raw);
        case Encoding::kSystem:
            break;
    }
    return DecodeAnsi(raw);  // the code page of the locale
}

std::string Encode(Encoding encoding, std::string_view utf8) {
    switch (encoding) {
        case Encoding::kUtf16Le:
            return Utf8ToUtf16(utf8, ByteOrder::kLittleEndian);
        case Encoding::kUtf16Be:
            return Utf8ToUtf16(utf8, ByteOrder::kBigEndian);
        case Encoding::kUtf8:
            return ReplaceInvalidUtf8(utf8);
        case Encoding::kSystem:
            break;
    }
    return EncodeAnsi(utf8);
}

ProfileText Split(std::string_view bytes) {
    ProfileText file;
    std::size_t unitSize = 1;
    if (bytes.starts_with("\xFF\xFE")) {
        file.encoding = Encoding::kUtf16Le, file.bom = "\xFF\xFE", unitSize = 2;
    } else if (bytes.starts_with("\xFE\xFF")) {
        file.encoding = Encoding::kUtf16Be, file.bom = "\xFE\xFF", unitSize = 2;
    } else if (bytes.starts_with("\xEF\xBB\xBF")) {
        file.encoding = Encoding::kUtf8, file.bom = "\xEF\xBB\xBF";
    }
    bytes.remove_prefix(file.bom.size());

    // CR LF, LF and a lone CR all end a line.
    auto codeAt = [&](std::size_t pos) -> unsigned {
        if (unitSize == 1) {
            return static_cast<unsigned char>(bytes[pos]);
        }
        const auto a = static_cast<unsigned char>(bytes[pos]);
        const auto b = static_cast<unsigned char>(bytes[pos + 1]);
        return file.encoding == Encoding::kUtf16Be ? (a << 8 | b) : (b << 8 | a);
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
        line.text = Decode(file.encoding, line.raw);
    }
    return file;
}

std::string Join(const ProfileText& file) {
    std::string out = file.bom;
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
    return Encode(file.encoding, "\r\n");
}

// ---- parsing ------------------------------------------------------------------

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\f' || c == '\v';
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

struct Parsed {
    enum Kind { kBlank, kComment, kSection, kEntry } kind = kBlank;
    std::string_view name;   // section name or key
    std::string_view value;  // entry value, blanks dropped
};

Parsed Parse(std::string_view text) {
    Parsed parsed;
    text = Trim(text);
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
            parsed.name = Trim(text.substr(1, close - 1));
            return parsed;
        }
    }
    // An entry; a line without "=" is a key with an empty value.
    parsed.kind = Parsed::kEntry;
    const std::size_t eq = text.find('=');
    if (eq == std::string_view::npos) {
        parsed.name = text;
    } else {
        parsed.name = Trim(text.substr(0, eq));
        parsed.value = Trim(text.substr(eq + 1));
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

std::optional<std::string> ReadWholeFile(const fs::path& file) {
    std::error_code ec;
    if (!fs::is_regular_file(file, ec)) {
        return std::nullopt;
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        return std::nullopt;
    }
    return bytes;
}

// Writable for us and not marked read-only: a file without any write
// permission bit counts as read-only even for the superuser, as the read-only
// attribute does on Windows.
bool IsWritable(const fs::path& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return false;
    }
    return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0 && ::access(path.c_str(), W_OK) == 0;
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return ::fsync(fd) == 0;
}

// Writes a sibling file and renames it over `target`, so that the file is
// either the old one or the new one, never a mix.
bool ReplaceViaSibling(const fs::path& target, std::string_view bytes, mode_t mode) {
    static std::atomic<unsigned> counter{0};
    const fs::path temp =
        target.parent_path() / ("." + target.filename().string() + ".tmp-" +
                                std::to_string(::getpid()) + "-" + std::to_string(counter++));
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0) {
        return false;
    }
    bool ok = WriteAll(fd, bytes);
    ok = (::close(fd) == 0) && ok;
    if (ok) {
        ok = ::rename(temp.c_str(), target.c_str()) == 0;
    }
    if (!ok) {
        ::unlink(temp.c_str());
    }
    return ok;
}

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

bool HasLineBreakOrNul(std::string_view text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

}  // namespace

std::string ReadProfileString(const std::filesystem::path& file, std::string_view section,
                              std::string_view key, std::string_view defaultValue) {
    const std::string fallback = CutToCharacters(defaultValue, kProfileValueMaxChars);
    section = Trim(section);
    key = Trim(key);
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

bool WriteProfileString(const std::filesystem::path& file, std::string_view section,
                        std::string_view key, std::string_view value) {
    section = Trim(section);
    key = Trim(key);
    // Names and value must stay one line each and read back as themselves.
    if (file.empty() || section.empty() || key.empty() || HasLineBreakOrNul(section) ||
        HasLineBreakOrNul(key) || HasLineBreakOrNul(value) ||
        key.find('=') != std::string_view::npos || key.front() == '[' || key.front() == ';') {
        return false;
    }
    std::error_code ec;
    if (fs::exists(file, ec) && !fs::is_regular_file(file, ec)) {
        return false;
    }
    const std::optional<std::string> before = ReadWholeFile(file);
    if (!before && fs::exists(file, ec)) {
        return false;  // unreadable: rewriting it would lose its other contents
    }
    ProfileText text = before ? Split(*before) : ProfileText{};
    const std::string lineBreak = NewLineBreak(text);

    auto makeLine = [&](const std::string& utf8) {
        Line line;
        line.text = utf8;
        line.raw = Encode(text.encoding, utf8);
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

bool FlushProfileCache(const std::filesystem::path&) {
    return true;
}

}  // namespace telvora::platform
