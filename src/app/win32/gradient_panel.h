// RzPanel1: fills the window and carries every other control. It paints the vertical gradient
// with the platform's two-vertex rectangle fill and, over it, the labels with a transparent
// background (they are painted by the panel, as graphic controls are, not windows of their
// own). What its children tell their parent goes on to the window that owns the panel.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "app/pictures.h"
#include "app/win32/window_proc.h"
#include "app/window_design.h"

namespace telvora::app {

// Fills (0, 0, width, height) of `dc` with the panel's gradient, top row `top`, bottom row
// `bottom`, in one GradientFill call.
void FillVerticalGradient(HDC dc, int width, int height, Rgb top, Rgb bottom);

class GradientPanel : public MessageTarget {
  public:
    struct Label {
        std::string name;
        std::wstring text;
        int left = 0;
        int top = 0;
        HFONT font = nullptr;  // not owned
    };

    void Create(HWND parent, const design::Place& place);
    HWND Handle() const { return hwnd_; }

    // All labels anew (placed and in the fonts of the display's scale).
    void SetLabels(std::vector<Label> labels);
    const std::vector<Label>& Labels() const { return labels_; }
    // A label sizes itself to its text: its rectangle in the panel's coordinates.
    RECT LabelRect(const std::string& name) const;

    // The gradient and the labels, into any device context (a child's off-screen picture gets
    // the panel under it this way, through WM_PRINTCLIENT).
    void Paint(HDC dc) const;

    LRESULT HandleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;

  private:
    HWND hwnd_ = nullptr;
    std::vector<Label> labels_;
};

}  // namespace telvora::app
