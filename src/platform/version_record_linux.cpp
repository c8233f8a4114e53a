#include "platform/version_record.h"

#include "platform/text.h"

#include <elf.h>

#include <bit>
#include <charconv>
#include <cstring>
#include <fstream>

namespace telvora::platform {
namespace {

constexpr std::string_view kMagic = "TelvoraVersionRecord/1";

std::string Unescape(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            ++i;
            out += text[i] == 'n' ? '\n' : text[i];
        } else {
            out += text[i];
        }
    }
    return out;
}

std::optional<std::uint16_t> ParseHex4(std::string_view text) {
    std::uint16_t value = 0;
    if (text.empty() || text.size() > 4) {
        return std::nullopt;
    }
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (ec != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

// "1,0,2,2" -> the two 32-bit halves of the fixed version.
std::optional<std::pair<std::uint32_t, std::uint32_t>> ParseFourNumbers(std::string_view text) {
    std::uint32_t parts[4] = {0, 0, 0, 0};
    for (int i = 0; i < 4; ++i) {
        size_t comma = text.find(',');
        const std::string_view word = TrimBlanks(text.substr(0, comma));
        auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), parts[i]);
        if (word.empty() || ec != std::errc() || end != word.data() + word.size() ||
            parts[i] > 0xFFFF) {
            return std::nullopt;
        }
        if ((comma == std::string_view::npos) != (i == 3)) {
            return std::nullopt;
        }
        if (comma != std::string_view::npos) {
            text.remove_prefix(comma + 1);
        }
    }
    return std::make_pair((parts[0] << 16) | parts[1], (parts[2] << 16) | parts[3]);
}

// The bytes of one named section of an ELF file of the host's byte order.
template <typename Ehdr, typename Shdr>
std::optional<std::string> ReadSection(std::ifstream& in, std::string_view wanted) {
    Ehdr header{};
    in.seekg(0);
    if (!in.read(reinterpret_cast<char*>(&header), sizeof header)) {
        return std::nullopt;
    }
    if (header.e_shoff == 0 || header.e_shentsize != sizeof(Shdr) || header.e_shnum == 0 ||
        header.e_shstrndx == SHN_UNDEF || header.e_shstrndx >= header.e_shnum) {
        return std::nullopt;
    }
    std::vector<Shdr> sections(header.e_shnum);
    in.seekg(static_cast<std::streamoff>(header.e_shoff));
    if (!in.read(reinterpret_cast<char*>(sections.data()),
                 static_cast<std::streamsize>(sections.size() * sizeof(Shdr)))) {
        return std::nullopt;
    }
    auto read_bytes = [&in](std::uint64_t offset,
                            std::uint64_t size) -> std::optional<std::string> {
        if (size > (64u << 20)) {
            return std::nullopt;
        }
        std::string bytes(static_cast<size_t>(size), '\0');
        in.seekg(static_cast<std::streamoff>(offset));
        if (!in.read(bytes.data(), static_cast<std::streamsize>(size))) {
            return std::nullopt;
        }
        return bytes;
    };
    const Shdr& names_section = sections[header.e_shstrndx];
    auto names = read_bytes(names_section.sh_offset, names_section.sh_size);
    if (!names) {
        return std::nullopt;
    }
    for (const Shdr& section : sections) {
        if (section.sh_name >= names->size() || section.sh_type == SHT_NOBITS) {
            continue;
        }
        std::string_view name(names->c_str() + section.sh_name);
        if (name == wanted) {
            return read_bytes(section.sh_offset, section.sh_size);
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<VersionRecord> ParseVersionRecord(std::string_view text) {
    // The section may be padded with NULs.
    while (!text.empty() && text.back() == '\0') {
        text.remove_suffix(1);
    }
    VersionRecord record;
    bool first = true;
    while (!text.empty()) {
        size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (first) {
            if (line != kMagic) {
                return std::nullopt;
            }
            first = false;
            continue;
        }
        if (line.empty()) {
            continue;
        }
        size_t eq = line.find('=');
        if (eq == std::string_view::npos) {
            return std::nullopt;
        }
        std::string_view key = line.substr(0, eq);
        std::string_view value = line.substr(eq + 1);
        if (key == "FileVersion" || key == "ProductVersion") {
            auto numbers = ParseFourNumbers(value);
            if (!numbers) {
                return std::nullopt;
            }
            if (key == "FileVersion") {
                record.fixed.fileVersionMS = numbers->first;
                record.fixed.fileVersionLS = numbers->second;
            } else {
                record.fixed.productVersionMS = numbers->first;
                record.fixed.productVersionLS = numbers->second;
            }
        } else if (key == "Translation") {
            size_t comma = value.find(',');
            auto language = ParseHex4(value.substr(0, comma));
            auto code_page =
                comma == std::string_view::npos ? std::nullopt : ParseHex4(value.substr(comma + 1));
            if (!language || !code_page) {
                return std::nullopt;
            }
            record.translations.push_back({*language, *code_page});
        } else if (key.substr(0, 7) == "String.") {
            std::string_view rest = key.substr(7);
            size_t dot = rest.find('.');
            if (dot == std::string_view::npos || dot == 0 || dot + 1 == rest.size()) {
                return std::nullopt;
            }
            record
                .stringTables[std::string(rest.substr(0, dot))][std::string(rest.substr(dot + 1))] =
                Unescape(value);
        } else {
            return std::nullopt;
        }
    }
    if (first) {
        return std::nullopt;
    }
    return record;
}

std::optional<VersionRecord> ReadVersionRecord(const std::filesystem::path& executable) {
    std::ifstream in(executable, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    unsigned char ident[EI_NIDENT] = {};
    if (!in.read(reinterpret_cast<char*>(ident), EI_NIDENT) ||
        std::memcmp(ident, ELFMAG, SELFMAG) != 0) {
        return std::nullopt;
    }
    const unsigned char host_order =
        std::endian::native == std::endian::little ? ELFDATA2LSB : ELFDATA2MSB;
    if (ident[EI_DATA] != host_order) {
        return std::nullopt;
    }
    std::optional<std::string> section;
    if (ident[EI_CLASS] == ELFCLASS64) {
        section = ReadSection<Elf64_Ehdr, Elf64_Shdr>(in, kVersionSectionName);
    } else if (ident[EI_CLASS] == ELFCLASS32) {
        section = ReadSection<Elf32_Ehdr, Elf32_Shdr>(in, kVersionSectionName);
    }
    if (!section) {
        return std::nullopt;
    }
    return ParseVersionRecord(*section);
}

}  // namespace telvora::platform
