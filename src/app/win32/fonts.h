// The window's fonts as GDI fonts. Where the designed face is not installed (Wine has none of
// Tahoma, MS Sans Serif, Verdana and Courier unless its own fonts are), the stand-ins of
// app/window_design.h take its place at the same character height.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <type_traits>

#include "app/window_design.h"

namespace telvora::app {

struct FontDeleter {
    void operator()(HFONT font) const { DeleteObject(font); }
};
using FontHandle = std::unique_ptr<std::remove_pointer_t<HFONT>, FontDeleter>;

// Whether GDI knows a font family of that name.
bool FontInstalled(const std::string& face);

// The first of the design's candidates for `face` that is installed, else the last one.
std::string PickFontFace(const std::string& face);

// The designed font in `charset`, its character height in pixels (a negative lfHeight) scaled
// from 96 dots per inch to `dpi`.
FontHandle CreateDesignFont(const design::Font& font, UINT dpi, BYTE charset = DEFAULT_CHARSET);

// The font's text height (TEXTMETRIC's tmHeight: its character cell) in pixels.
int TextHeight(HFONT font);

// The face, character height and weight a font was made with.
LOGFONTW FontDescription(HFONT font);

}  // namespace telvora::app
