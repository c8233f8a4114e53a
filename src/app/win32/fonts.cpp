#include "app/win32/fonts.h"

#include <cwchar>

#include "app/win32/dpi.h"
#include "platform/wide.h"

namespace telvora::app {
namespace {

int CALLBACK FoundFamily(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

}  // namespace

bool FontInstalled(const std::string& face) {
    const std::wstring name = platform::Wide(face);
    LOGFONTW wanted{};
    wanted.lfCharSet = DEFAULT_CHARSET;
    if (name.size() >= LF_FACESIZE) {
        return false;
    }
    wcscpy(wanted.lfFaceName, name.c_str());
    bool found = false;
    HDC screen = GetDC(nullptr);
    EnumFontFamiliesExW(screen, &wanted, FoundFamily, reinterpret_cast<LPARAM>(&found), 0);
    ReleaseDC(nullptr, screen);
    return found;
}

std::string PickFontFace(const std::string& face) {
    const std::vector<std::string> candidates = design::FontCandidates(face);
    for (const std::string& candidate : candidates) {
        if (FontInstalled(candidate)) {
            return candidate;
        }
    }
    return candidates.back();
}

FontHandle CreateDesignFont(const design::Font& font, UINT dpi, BYTE charset) {
    const bool fixed = design::IsFixedPitchFace(font.face);
    LOGFONTW description{};
    description.lfHeight = -ScaleForDpi(font.pixelHeight, dpi);
    description.lfWeight = font.bold ? FW_BOLD : FW_NORMAL;
    description.lfCharSet = charset;
    description.lfOutPrecision = OUT_DEFAULT_PRECIS;
    description.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    description.lfQuality = DEFAULT_QUALITY;
    description.lfPitchAndFamily =
        static_cast<BYTE>(fixed ? FIXED_PITCH | FF_MODERN : VARIABLE_PITCH | FF_SWISS);
    const std::wstring face = platform::Wide(PickFontFace(font.face));
    wcsncpy(description.lfFaceName, face.c_str(), LF_FACESIZE - 1);
    return FontHandle(CreateFontIndirectW(&description));
}

int TextHeight(HFONT font) {
    HDC screen = GetDC(nullptr);
    HGDIOBJ old = SelectObject(screen, font);
    TEXTMETRICW metrics{};
    GetTextMetricsW(screen, &metrics);
    SelectObject(screen, old);
    ReleaseDC(nullptr, screen);
    return metrics.tmHeight;
}

LOGFONTW FontDescription(HFONT font) {
    LOGFONTW description{};
    GetObjectW(font, sizeof description, &description);
    return description;
}

}  // namespace telvora::app
