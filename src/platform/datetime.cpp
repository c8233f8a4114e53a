#include "platform/datetime.h"

#include <cstdio>

namespace telvora {

namespace {

bool ReadDigits(std::string_view text, size_t pos, size_t count, int& out) {
    if (pos + count > text.size()) {
        return false;
    }
    int value = 0;
    for (size_t i = pos; i < pos + count; ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return false;
        }
        value = value * 10 + (text[i] - '0');
    }
    out = value;
    return true;
}

}  // namespace

std::string FormatDateTime(DateTime value) {
    using namespace std::chrono;
    const auto day = floor<days>(value);
    const year_month_day ymd{day};
    const hh_mm_ss hms{value - day};
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04d-%02u-%02u %02d:%02d:%02d", int(ymd.year()),
                  unsigned(ymd.month()), unsigned(ymd.day()), int(hms.hours().count()),
                  int(hms.minutes().count()), int(hms.seconds().count()));
    return buffer;
}

std::optional<DateTime> ParseDateTime(std::string_view text) {
    using namespace std::chrono;
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    if (!ReadDigits(text, 0, 4, y) || text.size() < 10 || text[4] != '-' || text[7] != '-' ||
        !ReadDigits(text, 5, 2, mo) || !ReadDigits(text, 8, 2, d)) {
        return std::nullopt;
    }
    const year_month_day ymd{year{y}, month{unsigned(mo)}, day{unsigned(d)}};
    if (!ymd.ok()) {
        return std::nullopt;
    }
    if (text.size() > 10) {
        if ((text[10] != ' ' && text[10] != 'T') || !ReadDigits(text, 11, 2, h) ||
            text.size() < 16 || text[13] != ':' || !ReadDigits(text, 14, 2, mi)) {
            return std::nullopt;
        }
        if (text.size() > 16) {
            if (text[16] != ':' || !ReadDigits(text, 17, 2, s)) {
                return std::nullopt;
            }
            if (text.size() > 19 && text[19] != '.') {
                return std::nullopt;
            }
        }
        if (h > 23 || mi > 59 || s > 59) {
            return std::nullopt;
        }
    }
    return DateTime{sys_days{ymd}.time_since_epoch() + hours{h} + minutes{mi} + seconds{s}};
}

}  // namespace telvora
