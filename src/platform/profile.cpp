#include "platform/profile.h"

#include "platform/codepage.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <vector>

namespace telvora::platform {
namespace {

namespace fs = std::filesystem;

// ---- text conversions -------------------------------------------------------

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Decodes UTF-8; a byte that starts no valid sequence becomes U+FFFD.
std::u32string DecodeUtf8(std::string_view text) {
    std::u32string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto b = static_cast<unsigned char>(text[i]);
        int extra = 0;
        char32_t c = 0;
        char32_t min = 0;
        if (b < 0x80) {
            out += b;
            ++i;
            continue;
        } else if ((b & 0xE0) == 0xC0) {
            extra = 1, c = b & 0x1F, min = 0x80;
        } else if ((b & 0xF0) == 0xE0) {
            extra = 2, c = b & 0x0F, min = 0x800;
        } else if ((b & 0xF8) == 0xF0) {
            extra = 3, c = b & 0x07, min = 0x10000;
        } else {
            out += kReplacement;
            ++i;
            continue;
        }
        bool ok = i + static_cast<std::size_t>(extra) < text.size();
        for (int k = 1; ok && k <= extra; ++k) {
            const auto t = static_cast<unsigned char>(text[i + k]);
            if ((t & 0xC0) != 0x80) {
                ok = false;
            } else {
                c = (c << 6) | (t & 0x3F);
            }
        }
        if (!ok || c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            out += kReplacement;
            ++i;
            continue;
        }
        out += c;
        i += static_cast<std::size_t>(extra) + 1;
    }
    return out;
}

std::string EncodeUtf8(std::u32string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char32_t c : text) {
        AppendUtf8(out, c);
    }
    return out;
}

std::string ToValidUtf8(std::string_view text) {
    return EncodeUtf8(DecodeUtf8(text));
}

// UTF-16 code units in the byte order of the file.
std::string DecodeUtf16(std::string_view bytes, bool bigEndian) {
    std::string out;
    const std::size_t units = bytes.size() / 2;
    auto unit = [&](std::size_t n) -> char32_t {
        const auto a = static_cast<unsigned char>(bytes[2 * n]);
        const auto b = static_cast<unsigned char>(bytes[2 * n + 1]);
        return bigEndian ? (a << 8 | b) : (b << 8 | a);
    };
    for (std::size_t n = 0; n < units; ++n) {
        char32_t c = unit(n);
        if (c >= 0xD800 && c <= 0xDBFF && n + 1 < units) {
            const char32_t low = unit(n + 1);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                ++n;
            } else {
                c = kReplacement;
            }
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = kReplacement;
        }
        AppendUtf8(out, c);
    }
    if (bytes.size() % 2 != 0) {
        AppendUtf8(out, kReplacement);
    }
    return out;
}

std::string EncodeUtf16(std::string_view utf8, bool bigEndian) {
    std::string out;
    auto put = [&](char32_t u) {
        const char hi = static_cast<char>((u >> 8) & 0xFF);
        const char lo = static_cast<char>(u & 0xFF);
        out += bigEndian ? hi : lo;
        out += bigEndian ? lo : hi;
    };
    for (char32_t c : DecodeUtf8(utf8)) {
        if (c >= 0x10000) {
            c -= 0x10000;
            put(0xD800 + (c >> 10));
            put(0xDC00 + (c & 0x3FF));
        } else {
            put(c);
        }
    }
    return out;
}

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
            return DecodeUtf16(raw, false);
        case Encoding::kUtf16Be:
            return DecodeUtf16(raw, true);
        case Encoding::kUtf8:
            return ToValidUtf8(raw);
        case Encoding::kSystem:
            break;
    }
    return DecodeAnsi(raw);  // the code page of the locale
}

std::string Encode(Encoding encoding, std::string_view utf8) {
    switch (encoding) {
        case Encoding::kUtf16Le:
            return EncodeUtf16(utf8, false);
        case Encoding::kUtf16Be:
            return EncodeUtf16(utf8, true);
        case Encoding::kUtf8:
            return ToValidUtf8(utf8);
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

char FoldCase(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (FoldCase(a[i]) != FoldCase(b[i])) {
            return false;
        }
    }
    return true;
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
        if (p.kind != Parsed::kSection || !SameName(p.name, section)) {
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
        if (p.kind == Parsed::kEntry && SameName(p.name, key)) {
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

std::string CutToMaxChars(std::string_view utf8) {
    std::size_t chars = 0;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        if ((static_cast<unsigned char>(utf8[i]) & 0xC0) != 0x80) {
            if (chars == kProfileValueMaxChars) {
                return std::string(utf8.substr(0, i));
            }
            ++chars;
        }
    }
    return std::string(utf8);
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
    const std::string fallback = CutToMaxChars(defaultValue);
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
    return CutToMaxChars(StripQuotes(Parse(text.lines[*line].text).value));
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
