// The user's formats on Windows: the user's locale settings.
#include <windows.h>

#include "platform/locale_format.h"
#include "platform/wide.h"

namespace telvora::platform {

std::string DecimalSeparator() {
    wchar_t separator[8] = {};
    const int length = GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SDECIMAL, separator, 8);
    return length > 1 ? Narrow(std::wstring_view(separator, length - 1)) : ".";
}

std::string FormatShortDate(Date date) {
    SYSTEMTIME time{};
    time.wYear = static_cast<WORD>(int(date.year()));
    time.wMonth = static_cast<WORD>(unsigned(date.month()));
    time.wDay = static_cast<WORD>(unsigned(date.day()));
    wchar_t text[128] = {};
    const int length = GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &time, nullptr,
                                       text, 128, nullptr);
    return length > 1 ? Narrow(std::wstring_view(text, length - 1)) : std::string();
}

}  // namespace telvora::platform
