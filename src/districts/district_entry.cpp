#include "districts/district_entry.h"

#include <chrono>

#include "platform/error.h"

namespace telvora::districts {
namespace {

// Length in bytes of the character that starts at `pos`: UTF-8 sequences count as one
// character; a byte that starts no valid sequence counts as one on its own.
std::size_t CharLength(std::string_view text, std::size_t pos) {
    const auto lead = static_cast<unsigned char>(text[pos]);
    std::size_t length = 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
    }
    if (pos + length > text.size()) {
        return 1;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((static_cast<unsigned char>(text[pos + i]) & 0xC0) != 0x80) {
            return 1;
        }
    }
    return length;
}

// Characters `first`..`first + count - 1` (counted from 1) of `text`; fewer at its end.
std::string_view CharacterPiece(std::string_view text, std::size_t first, std::size_t count) {
    std::size_t pos = 0;
    for (std::size_t index = 1; index < first && pos < text.size(); ++index) {
        pos += CharLength(text, pos);
    }
    std::size_t end = pos;
    for (std::size_t taken = 0; taken < count && end < text.size(); ++taken) {
        end += CharLength(text, end);
    }
    return text.substr(pos, end - pos);
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

int ReadPiece(std::string_view piece) {
    int value = 0;
    if (!ReadListInteger(piece, value)) {
        throw Error(Format("'%.*s' is not a valid integer value", static_cast<int>(piece.size()),
                           piece.data()));
    }
    return value;
}

}  // namespace

std::vector<std::string> SplitDistrictFields(std::string_view line) {
    std::vector<std::string> fields;
    std::size_t pos = 0;
    const std::size_t n = line.size();
    while (pos < n) {
        std::string field;
        if (line[pos] == '"') {
            ++pos;
            while (true) {
                const std::size_t quote = line.find('"', pos);
                if (quote == std::string_view::npos) {
                    // No closing quote: the field takes the rest of the line, commas included.
                    field.append(line.substr(pos));
                    pos = n;
                    break;
                }
                field.append(line.substr(pos, quote - pos));
                if (quote + 1 < n && line[quote + 1] == '"') {
                    field.push_back('"');
                    pos = quote + 2;
                    continue;
                }
                pos = quote + 1;
                break;
            }
        } else {
            const std::size_t comma = line.find(',', pos);
            const std::size_t end = comma == std::string_view::npos ? n : comma;
            field.assign(line.substr(pos, end - pos));
            pos = end;
        }
        fields.push_back(std::move(field));
        if (pos < n && line[pos] == ',') {
            ++pos;
            if (pos == n) {
                fields.emplace_back();  // a comma at the very end opens one more, empty field
            }
        }
        // Anything else after a closing quote starts a field of its own.
    }
    return fields;
}

bool ReadListInteger(std::string_view piece, int& value) {
    std::size_t pos = 0;
    while (pos < piece.size() && piece[pos] == ' ') {
        ++pos;
    }
    bool negative = false;
    if (pos < piece.size() && (piece[pos] == '+' || piece[pos] == '-')) {
        negative = piece[pos] == '-';
        ++pos;
    }
    int base = 10;
    if (pos < piece.size() && (piece[pos] == '$' || piece[pos] == 'x' || piece[pos] == 'X')) {
        base = 16;
        pos += 1;
    } else if (pos + 1 < piece.size() && piece[pos] == '0' &&
               (piece[pos + 1] == 'x' || piece[pos + 1] == 'X')) {
        base = 16;
        pos += 2;
    }
    if (pos == piece.size()) {
        return false;  // at least one digit
    }
    long long result = 0;
    for (; pos < piece.size(); ++pos) {
        const int digit = HexDigit(piece[pos]);
        if (digit < 0 || digit >= base) {
            return false;
        }
        result = result * base + digit;
        if (result > 0x7FFFFFFFLL + (negative ? 1 : 0)) {
            return false;  // beyond a 32-bit integer
        }
    }
    value = static_cast<int>(negative ? -result : result);
    return true;
}

DistrictEntry ParseDistrictLine(std::string_view line) {
    std::vector<std::string> fields = SplitDistrictFields(line);
    if (fields.size() < 3) {
        throw Error(Format("List index out of bounds (%d)", static_cast<int>(fields.size())));
    }
    const std::string& dateText = fields[2];
    const int day = ReadPiece(CharacterPiece(dateText, 1, 2));
    const int month = ReadPiece(CharacterPiece(dateText, 4, 2));
    const int year = ReadPiece(CharacterPiece(dateText, 7, 4));

    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > 31) {
        throw Error("Invalid argument to date encode");
    }
    const Date date{std::chrono::year{year}, std::chrono::month{static_cast<unsigned>(month)},
                    std::chrono::day{static_cast<unsigned>(day)}};
    if (!date.ok()) {
        throw Error("Invalid argument to date encode");  // e.g. 31 February, 29 February 1900
    }
    return DistrictEntry{std::move(fields[0]), std::move(fields[1]), date};
}

}  // namespace telvora::districts
