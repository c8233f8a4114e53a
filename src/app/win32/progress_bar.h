// ProgressBar: range 0 to 100, drawn by the program. Each picture is composed off screen in a
// DIB of the control's size (the panel under it, the computed background and fill of
// app/pictures.h with its transparent corners left out, then the percentage) and copied onto
// the window in one step, so the bar never flickers. On a scaled display the computed picture
// is the designed one scaled to the control's device pixels, and the percentage is drawn in
// the font of that scale.
#pragma once

#include <windows.h>

#include "app/pictures.h"
#include "app/win32/window_proc.h"
#include "app/window_design.h"

namespace telvora::app {

class RoundProgressBar : public MessageTarget {
  public:
    // `place` as designed, at 96 dots per inch: its size is that of the designed picture.
    void Create(HWND parent, const design::Place& place, HFONT font);
    HWND Handle() const { return hwnd_; }
    // The percentage's font, at the display's scale.
    void SetFont(HFONT font);

    int Minimum() const { return 0; }
    int Maximum() const { return 100; }
    int Position() const { return position_; }
    // Clamped to the range; a change repaints the bar before the call returns.
    void SetPosition(int position);
    int Percent() const;

    // Composes the picture and copies it onto `dc` at (0, 0).
    void Paint(HDC dc) const;

    LRESULT HandleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;

  private:
    HWND hwnd_ = nullptr;
    HFONT font_ = nullptr;  // not owned
    design::Place designed_;
    int position_ = 0;
};

}  // namespace telvora::app
