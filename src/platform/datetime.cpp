#include "platform/datetime.h"

#include <cmath>
#include <cstdint>
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
    const int y = int(ymd.year());
    const auto seconds = (value - day).count();  // 0..86399
    // Written digit by digit: a date-time is formatted for every statement of a credit run.
    std::string out(y >= 0 && y <= 9999 ? 19 : 0, '0');
    if (out.empty()) {
        char buffer[64];  // room for any year, so that no digit is ever cut
        std::snprintf(buffer, sizeof buffer, "%04d-%02u-%02u %02ld:%02ld:%02ld", y,
                      unsigned(ymd.month()), unsigned(ymd.day()), long(seconds / 3600),
                      long(seconds / 60 % 60), long(seconds % 60));
        return buffer;
    }
    const auto put = [&out](std::size_t at, std::size_t digits, long number) {
        for (std::size_t i = at + digits; i-- > at;) {
            out[i] = static_cast<char>('0' + number % 10);
            number /= 10;
        }
    };
    put(0, 4, y);
    out[4] = '-';
    put(5, 2, long(unsigned(ymd.month())));
    out[7] = '-';
    put(8, 2, long(unsigned(ymd.day())));
    out[10] = ' ';
    put(11, 2, long(seconds / 3600));
    out[13] = ':';
    put(14, 2, long(seconds / 60 % 60));
    out[16] = ':';
    put(17, 2, long(seconds % 60));
    return out;
}

namespace {

// "HH:MM" or "HH:MM:SS" (fractional seconds ignored) from `pos` to the end.
bool ReadTimeOfDay(std::string_view text, size_t pos, int& h, int& mi, int& s) {
    if (!ReadDigits(text, pos, 2, h) || text.size() < pos + 5 || text[pos + 2] != ':' ||
        !ReadDigits(text, pos + 3, 2, mi)) {
        return false;
    }
    if (text.size() > pos + 5) {
        if (text[pos + 5] != ':' || !ReadDigits(text, pos + 6, 2, s)) {
            return false;
        }
        if (text.size() > pos + 8 && text[pos + 8] != '.') {
            return false;
        }
    }
    return h <= 23 && mi <= 59 && s <= 59;
}

}  // namespace

std::optional<DateTime> ParseDateTime(std::string_view text) {
    using namespace std::chrono;
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    if (text.size() >= 3 && text[2] == ':') {
        if (!ReadTimeOfDay(text, 0, h, mi, s)) {
            return std::nullopt;
        }
        return kZeroDateTime + hours{h} + minutes{mi} + seconds{s};
    }
    if (!ReadDigits(text, 0, 4, y) || text.size() < 10 || text[4] != '-' || text[7] != '-' ||
        !ReadDigits(text, 5, 2, mo) || !ReadDigits(text, 8, 2, d)) {
        return std::nullopt;
    }
    const year_month_day ymd{year{y}, month{unsigned(mo)}, day{unsigned(d)}};
    if (!ymd.ok()) {
        return std::nullopt;
    }
    if (text.size() > 10 &&
        ((text[10] != ' ' && text[10] != 'T') || !ReadTimeOfDay(text, 11, h, mi, s))) {
        return std::nullopt;
    }
    return DateTime{sys_days{ymd}.time_since_epoch() + hours{h} + minutes{mi} + seconds{s}};
}

std::string DateTimeText(DateTime value) {
    using namespace std::chrono;
    const auto day = floor<days>(value);
    const std::string full = FormatDateTime(value);
    if (DateTime{day} == kZeroDateTime && value != kZeroDateTime) {
        return full.substr(11);
    }
    if (value == DateTime{day}) {
        return full.substr(0, 10);
    }
    return full;
}

namespace {

constexpr std::int64_t kSecondsPerDay = 86400;
// Day counts beyond the years 100..9999 are no dates.
constexpr double kMinDayCount = -657434.0;
constexpr double kMaxDayCount = 2958466.0;

}  // namespace

double ToDayCount(DateTime value) {
    const auto since = (value - kZeroDateTime).count();
    std::int64_t day = since / kSecondsPerDay;
    std::int64_t second = since % kSecondsPerDay;
    if (second < 0) {
        second += kSecondsPerDay;
        --day;
    }
    const double fraction = double(second) / double(kSecondsPerDay);
    return day >= 0 ? double(day) + fraction : double(day) - fraction;
}

std::optional<DateTime> FromDayCount(double days) {
    if (!std::isfinite(days) || days < kMinDayCount || days >= kMaxDayCount) {
        return std::nullopt;
    }
    const double whole = std::trunc(days);
    const auto seconds =
        static_cast<std::int64_t>(std::llround(std::fabs(days - whole) * double(kSecondsPerDay)));
    return kZeroDateTime + std::chrono::days{static_cast<std::int64_t>(whole)} +
           std::chrono::seconds{seconds};
}

}  // namespace telvora
