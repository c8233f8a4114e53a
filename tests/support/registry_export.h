// A binary value as regedit exports it: "name"=hex(type):xx,xx,... wrapped into lines of at
// most 80 characters, each but the last ending with ",\" and the next indented by two blanks.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace telvora::test {

inline std::string ExportedHexValue(const std::string& quotedName, const std::string& type,
                                    const std::vector<std::uint8_t>& bytes) {
    std::string text = quotedName + "=" + type + ":";
    std::size_t lineStart = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        char item[3];
        std::snprintf(item, sizeof item, "%02x", bytes[i]);
        text += item;
        if (i + 1 == bytes.size()) {
            break;
        }
        text += ',';
        if (text.size() - lineStart > 76) {
            text += "\\\r\n  ";
            lineStart = text.size() - 2;
        }
    }
    return text;
}

}  // namespace telvora::test
