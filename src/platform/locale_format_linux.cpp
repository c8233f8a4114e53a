// The user's formats on Linux: the environment's locale (LC_ALL, then LC_NUMERIC or LC_TIME,
// then LANG) through newlocale(), never the process's global locale.
#include <langinfo.h>
#include <locale.h>

#include <cstdlib>
#include <ctime>

#include "platform/locale_format.h"

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
