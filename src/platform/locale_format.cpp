#include "platform/locale_format.h"

#include <langinfo.h>
#include <locale.h>

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <ctime>

#include "platform/text.h"

namespace telvora::platform {
namespace {

// The locale the environment names for one category; the "C" locale when it names none that
// is installed. Freed when it goes.
class EnvironmentLocale {
  public:
    explicit EnvironmentLocale(int categoryMask)
        : locale_(newlocale(categoryMask, "", static_cast<locale_t>(0))) {
        if (locale_ == static_cast<locale_t>(0)) {
            locale_ = newlocale(categoryMask, "C", static_cast<locale_t>(0));
        }
    }
    ~EnvironmentLocale() {
        if (locale_ != static_cast<locale_t>(0)) {
            freelocale(locale_);
        }
    }
    EnvironmentLocale(const EnvironmentLocale&) = delete;
    EnvironmentLocale& operator=(const EnvironmentLocale&) = delete;

    locale_t get() const { return locale_; }

  private:
    locale_t locale_;
};

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

std::string DecimalSeparator() {
    // Numbers are read and written for every credit: the answer is kept for as long as the
    // environment names the same locale.
    thread_local std::string names;
    thread_local std::string separator;
    std::string current;
    for (const char* name : {"LC_ALL", "LC_NUMERIC", "LANG"}) {
        const char* value = std::getenv(name);
        current.append(value != nullptr ? value : "").push_back('\n');
    }
    if (separator.empty() || current != names) {
        const EnvironmentLocale locale(LC_NUMERIC_MASK);
        const char* radix = locale.get() != static_cast<locale_t>(0)
                                ? nl_langinfo_l(RADIXCHAR, locale.get())
                                : nullptr;
        separator = radix != nullptr && *radix != '\0' ? radix : ".";
        names = std::move(current);
    }
    return separator;
}

std::string FormatUserNumber(double value) {
    char buffer[64];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    std::string text(buffer, ec == std::errc() ? end : buffer);
    const std::size_t point = text.find('.');
    if (point != std::string::npos) {
        text.replace(point, 1, DecimalSeparator());
    }
    return text;
}

std::optional<double> ParseUserNumber(std::string_view text) {
    text = TrimBlanks(text);
    const std::string separator = DecimalSeparator();
    // The same number in the form from_chars reads: "." for the separator, no leading "+".
    std::string plain;
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        if (text[i] == '-') {
            plain += '-';
        }
        ++i;
    }
    std::size_t digits = 0;
    bool separatorSeen = false;
    while (i < text.size()) {
        if (IsDigit(text[i])) {
            plain += text[i++];
            ++digits;
        } else if (!separatorSeen && text.substr(i, separator.size()) == separator) {
            plain += '.';
            i += separator.size();
            separatorSeen = true;
        } else {
            break;
        }
    }
    if (digits == 0) {
        return std::nullopt;
    }
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        plain += text[i++];
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
            plain += text[i++];
        }
        std::size_t exponentDigits = 0;
        while (i < text.size() && IsDigit(text[i])) {
            plain += text[i++];
            ++exponentDigits;
        }
        if (exponentDigits == 0) {
            return std::nullopt;
        }
    }
    if (i != text.size()) {
        return std::nullopt;
    }
    double value = 0;
    const auto [end, ec] = std::from_chars(plain.data(), plain.data() + plain.size(), value);
    if (ec != std::errc() || end != plain.data() + plain.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::string FormatShortDate(Date date) {
    std::tm tm{};
    tm.tm_year = int(date.year()) - 1900;
    tm.tm_mon = int(unsigned(date.month())) - 1;
    tm.tm_mday = int(unsigned(date.day()));
    tm.tm_hour = 12;
    const EnvironmentLocale locale(LC_TIME_MASK);
    char buffer[64];
    const std::size_t size = locale.get() != static_cast<locale_t>(0)
                                 ? strftime_l(buffer, sizeof buffer, "%x", &tm, locale.get())
                                 : std::strftime(buffer, sizeof buffer, "%x", &tm);
    return std::string(buffer, size);
}

}  // namespace telvora::platform
