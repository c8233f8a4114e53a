#include "platform/registry.h"

#include "platform/files.h"
#include "platform/text.h"
#include "platform/unicode.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <map>
#include <set>
#include <system_error>

namespace telvora::platform {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kHeader5 = "Windows Registry Editor Version 5.00";
constexpr std::string_view kHeader4 = "REGEDIT4";
constexpr std::string_view kRoot = "HKEY_CURRENT_USER";

// ---- text encodings ----

void AppendUtf16Le(std::vector<std::uint8_t>& out, std::string_view utf8) {
    const std::string wide = Utf8ToUtf16(utf8, ByteOrder::kLittleEndian);
    out.insert(out.end(), wide.begin(), wide.end());
}

// The file as UTF-8 text, and how to write what is added to it: regedit writes UTF-16LE with
// its mark, other tools and users UTF-8.
struct FileText {
    bool utf16 = false;  // UTF-16LE, else UTF-8
    std::string text;    // UTF-8, without byte-order mark
};

// nullopt for a file in an encoding that no registry file has (UTF-16 big-endian).
std::optional<FileText> DecodeFile(std::string_view bytes) {
    switch (DetectByteOrderMark(bytes)) {
        case ByteOrderMark::kUtf16Le:
            return FileText{true, Utf16ToUtf8(bytes.substr(2), ByteOrder::kLittleEndian)};
        case ByteOrderMark::kUtf8:
            return FileText{false, std::string(bytes.substr(3))};
        case ByteOrderMark::kUtf16Be:
            return std::nullopt;
        case ByteOrderMark::kNone:
            break;
    }
    // UTF-16LE that lost its mark: an ASCII character followed by a zero byte.
    if (bytes.size() >= 2 && bytes[0] != 0 && static_cast<unsigned char>(bytes[0]) < 0x80 &&
        bytes[1] == 0) {
        return FileText{true, Utf16ToUtf8(bytes, ByteOrder::kLittleEndian)};
    }
    return FileText{false, std::string(bytes)};
}

std::string Encode(const std::string& utf8, bool utf16) {
    return utf16 ? Utf8ToUtf16(utf8, ByteOrder::kLittleEndian) : utf8;
}

// ---- the .reg text ----

std::vector<std::string_view> PhysicalLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        auto end = text.find('\n', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        std::string_view line = text.substr(start, end - start);
        while (line.ends_with('\r')) {
            line.remove_suffix(1);  // CR LF, and the CR CR LF of a file converted twice
        }
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

bool OnlyBlankLines(std::string_view text) {
    for (std::string_view line : PhysicalLines(text)) {
        if (!TrimBlanks(line).empty()) {
            return false;
        }
    }
    return true;
}

// Whether a quoted text is still open after `piece`, given whether it was open before it. A
// value is read piece by piece, so each physical line is scanned once however long the value.
bool QuotedAfter(std::string_view piece, bool quoted) {
    for (std::size_t i = 0; i < piece.size(); ++i) {
        if (quoted && piece[i] == '\\') {
            ++i;
        } else if (piece[i] == '"') {
            quoted = !quoted;
        }
    }
    return quoted;
}

// Whether a line can go on a continued value: a blank line or a key's header ends the value
// instead, so that a stray backslash never swallows the key below it.
bool TakesContinuation(std::string_view next) {
    next = TrimBlanks(next);
    return !next.empty() && !next.starts_with('[');
}

// Reads a quoted text starting at text[pos] == '"'. The format escapes only "\\" and "\""; any
// other backslash stands for itself. nullopt when the closing quote is missing.
std::optional<std::string> ReadQuoted(std::string_view text, std::size_t& pos) {
    std::string out;
    for (std::size_t i = pos + 1; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && (text[i + 1] == '\\' || text[i + 1] == '"')) {
            out += text[++i];
        } else if (text[i] == '"') {
            pos = i + 1;
            return out;
        } else {
            out += text[i];
        }
    }
    return std::nullopt;
}

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

std::optional<std::uint32_t> ParseHexNumber(std::string_view text, std::size_t max_digits) {
    if (text.empty() || text.size() > max_digits) {
        return std::nullopt;
    }
    std::uint32_t value = 0;
    for (char c : text) {
        if (!IsHexDigit(c)) {
            return std::nullopt;
        }
        value = value * 16 + static_cast<std::uint32_t>(c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10);
    }
    return value;
}

std::optional<std::vector<std::uint8_t>> ParseHexBytes(std::string_view text) {
    std::vector<std::uint8_t> bytes;
    text = TrimBlanks(text);
    if (text.empty()) {
        return bytes;
    }
    std::size_t start = 0;
    while (true) {
        const auto comma = text.find(',', start);
        const auto item = TrimBlanks(text.substr(
            start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
        const auto value = ParseHexNumber(item, 2);
        if (!value) {
            return std::nullopt;
        }
        bytes.push_back(static_cast<std::uint8_t>(*value));
        if (comma == std::string_view::npos) {
            return bytes;
        }
        start = comma + 1;
    }
}

// The data after "=": "text", dword:..., hex:..., hex(n):...
RegValue ParseData(std::string_view data, bool regedit4) {
    RegValue value;
    if (data.starts_with('"')) {
        value.type = RegType::Sz;
        std::size_t pos = 0;
        const auto text = ReadQuoted(data, pos);
        if (!text || !TrimBlanks(data.substr(pos)).empty()) {
            value.readable = false;
            return value;
        }
        AppendUtf16Le(value.data, *text);
        value.data.push_back(0);
        value.data.push_back(0);
        return value;
    }
    if (StartsWithNoCase(data, "dword:")) {
        value.type = RegType::Dword;
        const auto number = ParseHexNumber(TrimBlanks(data.substr(6)), 8);
        if (!number) {
            value.readable = false;
            return value;
        }
        for (int shift = 0; shift < 32; shift += 8) {
            value.data.push_back(static_cast<std::uint8_t>(*number >> shift));
        }
        return value;
    }
    std::string_view bytes_text;
    if (StartsWithNoCase(data, "hex:")) {
        value.type = RegType::Binary;
        bytes_text = data.substr(4);
    } else if (StartsWithNoCase(data, "hex(")) {
        const auto close = data.find("):");
        const auto type = close == std::string_view::npos
                              ? std::nullopt
                              : ParseHexNumber(data.substr(4, close - 4), 8);
        if (!type) {
            value.readable = false;  // an unknown form of data: no type to go by
            return value;
        }
        value.type = static_cast<RegType>(*type);
        bytes_text = data.substr(close + 2);
    } else {
        value.readable = false;
        return value;
    }
    auto bytes = ParseHexBytes(bytes_text);
    if (!bytes) {
        value.readable = false;
        return value;
    }
    const bool text_type = value.type == RegType::Sz || value.type == RegType::ExpandSz ||
                           value.type == RegType::MultiSz;
    if (regedit4 && text_type) {
        // REGEDIT4 files hold these as 8-bit text; the registry hands them out as UTF-16.
        value.data.clear();
        AppendUtf16Le(value.data, std::string_view(reinterpret_cast<const char*>(bytes->data()),
                                                   bytes->size()));
    } else {
        value.data = std::move(*bytes);
    }
    return value;
}

using Values = std::vector<std::pair<std::string, RegValue>>;

struct Hive {
    std::map<std::string, Values> keys;  // folded path below HKEY_CURRENT_USER -> values
};

// The folded path below HKEY_CURRENT_USER of a section name, or nullopt for other hives.
std::optional<std::string> KeyPath(std::string_view name) {
    name = TrimBlanks(name);
    while (name.ends_with('\\')) {
        name.remove_suffix(1);
    }
    const std::string folded = AsciiLower(name);
    const std::string root = AsciiLower(kRoot);
    if (folded == root) {
        return std::string();
    }
    if (folded.starts_with(root + "\\")) {
        return folded.substr(root.size() + 1);
    }
    return std::nullopt;
}

bool IsSameOrBelow(const std::string& path, const std::string& key) {
    return path == key || key.empty() || path.starts_with(key + "\\");
}

void SetValue(Values& values, std::string name, std::optional<RegValue> value) {
    for (auto it = values.begin(); it != values.end(); ++it) {
        if (it->first == name) {
            values.erase(it);
            break;
        }
    }
    if (value) {
        values.emplace_back(std::move(name), std::move(*value));
    }
}

// nullopt when the text is not a registry file (its first line is not a known header).
std::optional<Hive> ParseHive(std::string_view text) {
    const auto lines = PhysicalLines(text);
    std::size_t i = 0;
    while (i < lines.size() && TrimBlanks(lines[i]).empty()) {
        ++i;
    }
    if (i == lines.size()) {
        return Hive{};  // an empty file holds no keys
    }
    const auto header = TrimBlanks(lines[i]);
    if (header != kHeader5 && header != kHeader4) {
        return std::nullopt;
    }
    const bool regedit4 = header == kHeader4;

    Hive hive;
    Values* current = nullptr;
    for (++i; i < lines.size(); ++i) {
        std::string line(TrimBlanks(lines[i]));
        if (line.starts_with('"') || line.starts_with('@')) {
            // A value goes on in the next line while it ends with "\" outside quotes.
            bool quoted = QuotedAfter(line, false);
            while (!quoted && line.ends_with('\\') && i + 1 < lines.size() &&
                   TakesContinuation(lines[i + 1])) {
                const std::string_view piece = TrimBlanks(lines[++i]);
                line.pop_back();
                line += piece;
                quoted = QuotedAfter(piece, quoted);
            }
        }
        const std::string_view view = TrimBlanks(line);
        if (view.empty() || view.starts_with(';')) {
            continue;
        }
        if (view.starts_with('[')) {
            current = nullptr;
            const auto close = view.rfind(']');
            if (close == std::string_view::npos) {
                continue;
            }
            std::string_view name = view.substr(1, close - 1);
            const bool remove = name.starts_with('-');
            const auto path = KeyPath(remove ? name.substr(1) : name);
            if (!path) {
                continue;
            }
            if (remove) {
                std::erase_if(hive.keys,
                              [&](const auto& k) { return IsSameOrBelow(k.first, *path); });
            } else {
                current = &hive.keys[*path];
            }
            continue;
        }
        if (current == nullptr) {
            continue;
        }
        std::string name;
        std::size_t pos = 0;
        if (view.starts_with('@')) {
            pos = 1;
        } else if (view.starts_with('"')) {
            const auto quoted = ReadQuoted(view, pos);
            if (!quoted) {
                continue;
            }
            name = *quoted;
        } else {
            continue;
        }
        const auto rest = TrimBlanks(view.substr(pos));
        if (!rest.starts_with('=')) {
            continue;
        }
        const auto data = TrimBlanks(rest.substr(1));
        if (data == "-") {
            SetValue(*current, AsciiLower(name), std::nullopt);
        } else {
            SetValue(*current, AsciiLower(name), ParseData(data, regedit4));
        }
    }
    return hive;
}

// The key's values, or nullopt when there is no such key. A subkey's section implies its
// parents.
std::optional<Values> FindKey(const Hive& hive, const std::string& path) {
    std::optional<Values> found;
    for (const auto& [name, values] : hive.keys) {
        if (name == path) {
            found = values;
        } else if (!found && IsSameOrBelow(name, path)) {
            found.emplace();
        }
    }
    return found;
}

// ---- file access ----

// Appends to the file; on any failure it is cut back to its old length, so nothing is half
// written. A read-only file is refused, by root too.
bool AppendToFile(const fs::path& file, const std::string& bytes) {
    if (!IsWritable(file)) {
        return false;
    }
    const int fd = ::open(file.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        ::close(fd);
        return false;
    }
    const bool ok = WriteAll(fd, bytes);
    if (!ok) {
        [[maybe_unused]] const int ignored = ::ftruncate(fd, info.st_size);
    }
    return ::close(fd) == 0 && ok;
}

// A new file can be made where the nearest folder that exists is writable (read-only folders
// refuse root as well).
bool CanCreate(const fs::path& file) {
    std::error_code ec;
    fs::path folder = fs::absolute(file, ec).parent_path();
    while (!ec && !fs::exists(folder, ec) && folder.has_relative_path()) {
        folder = folder.parent_path();
    }
    return !ec && IsWritable(folder);
}

bool CreateFile(const fs::path& file, const std::string& bytes) {
    if (!CanCreate(file)) {
        return false;
    }
    std::error_code ec;
    if (file.has_parent_path()) {
        fs::create_directories(file.parent_path(), ec);
        if (ec) {
            return false;
        }
    }
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        return false;
    }
    const bool ok = WriteAll(fd, bytes);
    ::close(fd);
    if (!ok) {
        ::unlink(file.c_str());
    }
    return ok;
}

}  // namespace

std::optional<RegValue> RegistryKey::QueryValue(std::string_view name) const {
    const std::string folded = AsciiLower(name);
    for (const auto& [value_name, value] : values_) {
        if (value_name == folded) {
            return value;
        }
    }
    return std::nullopt;
}

CurrentUserRegistry::CurrentUserRegistry(fs::path file) : file_(std::move(file)) {}

fs::path CurrentUserRegistry::DefaultFile() {
    fs::path config;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && fs::path(xdg).is_absolute()) {
        config = xdg;
    } else {
        const char* home = std::getenv("HOME");
        if (home == nullptr || *home == '\0') {
            const passwd* entry = ::getpwuid(::getuid());
            home = entry ? entry->pw_dir : nullptr;
        }
        config = fs::path(home ? home : ".") / ".config";
    }
    return config / "telvora" / "HKEY_CURRENT_USER.reg";
}

std::optional<RegistryKey> CurrentUserRegistry::CreateKey(std::string_view subkey) {
    std::string_view name = TrimBlanks(subkey);
    while (name.ends_with('\\')) {
        name.remove_suffix(1);
    }
    if (name.find_first_of("\r\n[]") != std::string_view::npos) {
        return std::nullopt;  // would not survive as a section header
    }
    const std::string path = AsciiLower(name);
    const std::string section =
        "[" + std::string(kRoot) + (name.empty() ? "" : "\\") + std::string(name) + "]";

    std::error_code error;
    const std::optional<std::string> bytes = ReadWholeFile(file_, error);
    if (!bytes && error == std::errc::no_such_file_or_directory) {
        // New files are UTF-8 with CR LF: readable here and importable on Windows.
        if (!CreateFile(file_, std::string(kHeader5) + "\r\n\r\n" + section + "\r\n\r\n")) {
            return std::nullopt;
        }
        return RegistryKey{};
    }
    if (!bytes) {
        return std::nullopt;
    }

    const std::optional<FileText> decoded = DecodeFile(*bytes);
    if (!decoded || (decoded->utf16 && bytes->size() % 2 != 0)) {
        return std::nullopt;  // a torn UTF-16 file too: appending would garble it further
    }
    const auto hive = ParseHive(decoded->text);
    if (!hive) {
        return std::nullopt;
    }
    if (auto values = FindKey(*hive, path)) {
        RegistryKey key;
        key.values_ = std::move(*values);
        return key;
    }

    // Append the section in the file's own encoding and line breaks.
    const std::string& text = decoded->text;
    const std::string nl =
        text.find("\r\n") != std::string::npos || text.find('\n') == std::string::npos ? "\r\n"
                                                                                       : "\n";
    std::string addition;
    if (OnlyBlankLines(text)) {
        addition = std::string(kHeader5) + nl + nl;
        if (!text.empty() && !text.ends_with('\n')) {
            addition = nl + addition;
        }
    } else {
        if (!text.ends_with('\n')) {
            addition += nl;
        }
        const auto lines = PhysicalLines(text);
        if (!TrimBlanks(lines.back()).empty() || !text.ends_with('\n')) {
            addition += nl;  // a blank line between sections, as regedit writes
        }
    }
    addition += section + nl + nl;
    if (!AppendToFile(file_, Encode(addition, decoded->utf16))) {
        return std::nullopt;
    }
    return RegistryKey{};
}

}  // namespace telvora::platform
