// frmMain as it is designed, the same in every shell: the window's size and first place, every
// control's place, size and font, in pixels at 96 dots per inch (client coordinates of
// RzPanel1, which equal the window's), and the faces that stand in where a designed one is
// not installed.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace telvora::app::design {

inline constexpr const char* kCaption = "Telvora statistic from csv file";
inline constexpr int kClientWidth = 373;
inline constexpr int kClientHeight = 205;
// The window's outer top-left corner before the settings file moves it.
inline constexpr int kFirstLeft = 439;
inline constexpr int kFirstTop = 274;

struct Place {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

inline constexpr Place kRzPanel1{0, 0, kClientWidth, kClientHeight};
// Labels size themselves to their text: these are their design sizes; Left and Top stay.
inline constexpr Place kLabel2{24, 6, 127, 13};
inline constexpr Place kEdit1{8, 24, 145, 21};
inline constexpr Place kLabel3{48, 48, 64, 13};
inline constexpr Place kRxDBLookupCombo2{8, 64, 145, 21};
inline constexpr Place kLabel1{264, 6, 40, 16};
inline constexpr Place kCheckListBox1{215, 24, 145, 95};
inline constexpr Place kProgressBar{8, 125, 350, 25};
inline constexpr Place kBtnUpload{120, 155, 121, 25};
// Docked to the panel's bottom edge.
inline constexpr Place kStatusBar{0, kClientHeight - 19, kClientWidth, 19};
inline constexpr int kStatusPanelWidth = 50;

inline constexpr const char* kLabel2Text = "Your Callsign:";
inline constexpr const char* kLabel3Text = "Awards:";
inline constexpr const char* kLabel1Text = "Logs:";
inline constexpr const char* kBtnUploadText = "Upload log";

// A font as designed: face and character height in pixels (13 is 10 point, 11 is 8 point).
struct Font {
    const char* face;
    int pixelHeight;
    bool bold;
};

// The default font of every control the table gives none.
inline constexpr Font kDefaultFont{"Tahoma", 11, false};
inline constexpr Font kLabelFont{"Courier", 13, true};
inline constexpr Font kEdit1Font{"MS Sans Serif", 11, true};
inline constexpr Font kProgressBarFont{"Verdana", 13, false};
inline constexpr Font kBtnUploadFont{"Tahoma", 11, false};

// The faces to try for a designed one, in order: the face itself, then a face of the same kind
// and similar widths. Liberation Mono keeps Courier New's widths and Liberation Sans Arial's,
// which come nearest to Tahoma and MS Sans Serif; DejaVu Sans shares Verdana's wide letters.
// Each family is the other's second choice.
std::vector<std::string> FontCandidates(std::string_view face);

// Whether the designed face is a fixed-pitch one (Courier).
bool IsFixedPitchFace(std::string_view face);

}  // namespace telvora::app::design
