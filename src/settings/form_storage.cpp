#include "settings/form_storage.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>

#include "platform/error.h"
#include "platform/paths.h"
#include "platform/profile.h"
#include "platform/text.h"
#include "settings/profile_values.h"

namespace telvora::settings {

using platform::WindowPlacement;

// The settings file for the length of one restore or save: the platform's
// profile object (whose release flushes the platform's profile cache) and the
// section.
class IniProfile {
  public:
    IniProfile(std::string fileName, std::string section)
        : fileName_(std::move(fileName)),
          profile_(platform::PathFromUtf8(fileName_)),
          section_(std::move(section)) {}

    std::string ReadString(const std::string& key, const std::string& fallback) const {
        return profile_.ReadString(section_, key, fallback);
    }

    std::int32_t ReadInteger(const std::string& key, std::int32_t fallback) const {
        return IntegerOr(ReadString(key, ""), fallback);
    }

    void WriteString(const std::string& key, const std::string& value) const {
        if (!profile_.WriteString(section_, key, value)) {
            std::error_code ec;
            const std::filesystem::path full =
                std::filesystem::absolute(platform::PathFromUtf8(fileName_), ec);
            throw Error(Format("Unable to write to %s",
                               (ec ? fileName_ : platform::PathToUtf8(full)).c_str()));
        }
    }

  private:
    std::string fileName_;
    platform::ProfileFile profile_;
    std::string section_;
};

namespace {

constexpr const char* kKnownProperties[] = {"Text"};

// The single border of a fixed-size window (SM_CXBORDER, SM_CYBORDER).
constexpr int kBorderWidth = 1;
constexpr int kBorderHeight = 1;

// Window arithmetic wraps on 32 bits, as the platform's does; a sum that
// overflows then fails the "right greater than left" check.
std::int32_t WrappingAdd(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}

std::int32_t WrappingSub(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) - static_cast<std::uint32_t>(b));
}

}  // namespace

FormStorage::FormStorage(FormWindow& window, int pixelsPerInch, ErrorHandler onError)
    : window_(window), pixelsPerInch_(pixelsPerInch), onError_(std::move(onError)) {}

std::string FormStorage::IniSection() const {
    return iniSection_.empty() ? window_.ClassName() : iniSection_;
}

void FormStorage::Loaded() {
    resolved_.clear();
    for (const std::string& entry : storedProps_) {
        const std::size_t dot = entry.find('.');
        if (dot == std::string::npos) {
            continue;
        }
        const std::string_view name(entry);
        const std::string component(platform::TrimBlanks(name.substr(0, dot)));
        const std::string property(platform::TrimBlanks(name.substr(dot + 1)));
        if (component.empty() || property.empty()) {
            continue;
        }
        const std::optional<std::string> found = window_.FindComponent(component);
        if (!found) {
            continue;
        }
        for (const char* known : kKnownProperties) {
            if (platform::EqualsNoCase(property, known)) {
                // The key spells the names as the window and the class declare them.
                resolved_.push_back(StoredProp{*found, known});
            }
        }
    }
}

std::string FormStorage::ScreenSuffix() const {
    return Format("(%dx%d)", window_.ScreenWidth(), window_.ScreenHeight());
}

void FormStorage::RestoreFormPlacement() {
    saved_ = false;
    IniProfile ini(iniFileName_, IniSection());
    if (ini.ReadInteger("FormVersion", kVersion) >= kVersion) {
        ReadAndApplyPosition(ini);
        restored_ = true;
        RestoreStoredProps(ini);
    }
    restored_ = true;
    TidyPlacement();
}

void FormStorage::ReadAndApplyPosition(const IniProfile& ini) {
    WindowPlacement placement = window_.GetWindowPlacement();
    if (!window_.IsWindowVisible()) {
        placement.showCmd = platform::kSwHide;
    }
    placement.flags =
        static_cast<unsigned>(ini.ReadInteger("Flags", static_cast<std::int32_t>(placement.flags)));

    const std::string suffix = ScreenSuffix();
    auto readPosition = [&](const std::string& key) {
        std::string text = ini.ReadString(key + suffix, "");
        if (text.empty()) {
            text = ini.ReadString(key, "");
        }
        return text;
    };

    bool found = false;
    const std::string minMax = readPosition("MinMaxPos");
    if (!minMax.empty()) {
        found = true;
        placement.ptMinPosition = {WordOr(minMax, 1, 0), WordOr(minMax, 2, 0)};
        placement.ptMaxPosition = {WordOr(minMax, 3, 0), WordOr(minMax, 4, 0)};
    }

    const platform::Rect current = placement.rcNormalPosition;
    const std::int32_t width = WrappingSub(current.right, current.left);
    const std::int32_t height = WrappingSub(current.bottom, current.top);
    const std::string normal = readPosition("NormPos");
    std::int32_t left = current.left;
    std::int32_t top = current.top;
    if (!normal.empty()) {
        found = true;
        left = WordOr(normal, 1, current.left);
        top = WordOr(normal, 2, current.top);
        // Words 3 and 4 (right, bottom) do not matter: a window with a fixed
        // border keeps its own size, so only the corner is taken.
    }

    if (ini.ReadInteger("PixelsPerInch", pixelsPerInch_) != pixelsPerInch_) {
        found = false;
    }

    if (found) {
        placement.rcNormalPosition = {left, top, WrappingAdd(left, width),
                                      WrappingAdd(top, height)};
        if (placement.rcNormalPosition.right > placement.rcNormalPosition.left) {
            window_.SetWindowPlacement(placement);
        }
    }
}

void FormStorage::RestoreStoredProps(const IniProfile& ini) {
    for (const StoredProp& prop : resolved_) {
        try {
            const std::string key = prop.component + "_" + prop.property;
            const std::string text = ini.ReadString(key, window_.ComponentText(prop.component));
            window_.SetComponentText(prop.component, platform::TrimControls(text));
        } catch (...) {
            // A value that cannot be brought back is left as it is, silently.
        }
    }
}

void FormStorage::TidyPlacement() {
    WindowPlacement placement = window_.GetWindowPlacement();
    if (!window_.IsWindowVisible()) {
        placement.showCmd = platform::kSwHide;
    }
    placement.ptMaxPosition = {-kBorderWidth, -kBorderHeight};
    window_.SetWindowPlacement(placement);
}

void FormStorage::SaveFormPlacement() {
    if (!restored_ && active_) {
        return;
    }
    IniProfile ini(iniFileName_, IniSection());
    ini.WriteString("FormVersion", std::to_string(kVersion));

    WindowPlacement placement = window_.GetWindowPlacement();
    if (window_.IsApplicationIconic()) {
        placement.showCmd = platform::kSwShowMinimized;
    }
    const std::string suffix = ScreenSuffix();
    const std::string minMax =
        QuoteValue(FormatPosition(placement.ptMinPosition.x, placement.ptMinPosition.y,
                                  placement.ptMaxPosition.x, placement.ptMaxPosition.y));
    const platform::Rect& rc = placement.rcNormalPosition;
    const std::string normal = QuoteValue(FormatPosition(rc.left, rc.top, rc.right, rc.bottom));
    ini.WriteString("Flags", std::to_string(placement.flags));
    ini.WriteString("ShowCmd", std::to_string(placement.showCmd));
    ini.WriteString("PixelsPerInch", std::to_string(pixelsPerInch_));
    ini.WriteString("MinMaxPos" + suffix, minMax);
    ini.WriteString("MinMaxPos", minMax);
    ini.WriteString("NormPos" + suffix, normal);
    ini.WriteString("NormPos", normal);

    ini.WriteString("Visible", destroying_ ? "1" : "0");

    for (const StoredProp& prop : resolved_) {
        ini.WriteString(prop.component + "_" + prop.property,
                        QuoteValue(platform::TrimControls(window_.ComponentText(prop.component))));
    }
    saved_ = true;
}

void FormStorage::HandleError(std::exception_ptr error) const {
    if (onError_) {
        onError_(error);
        return;
    }
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "Unknown failure of the settings file\n");
    }
}

template <class F>
void FormStorage::Guarded(F&& action) const {
    try {
        action();
    } catch (...) {
        HandleError(std::current_exception());
    }
}

void FormStorage::FormShow() {
    if (active_) {
        Guarded([this] { RestoreFormPlacement(); });
    }
}

bool FormStorage::FormCloseQuery() {
    if (active_ && window_.HandleAllocated()) {
        Guarded([this] { SaveFormPlacement(); });
    }
    return true;
}

void FormStorage::FormDestroy() noexcept {
    if (!active_ || saved_) {
        return;
    }
    destroying_ = true;
    try {
        Guarded([this] { SaveFormPlacement(); });
    } catch (...) {
        // The window is going away; a failing error handler must not stop that.
    }
    destroying_ = false;
}

}  // namespace telvora::settings
