#pragma once

// Puts captions into controls whose boxes the templates fix. The boxes were
// drawn for the Chinese texts; a caption that does not fit (most English
// ones, or any text in a wider font) is drawn a little smaller, and as a last
// resort a label ends in "...". Buttons, check boxes and labels only.

#include <windows.h>

#include <vector>

namespace win32 {

class CaptionFit {
public:
    // The fonts it makes are derived from the dialog's own and live with this object.
    explicit CaptionFit(HWND dialog);
    ~CaptionFit();
    CaptionFit(const CaptionFit&) = delete;
    CaptionFit& operator=(const CaptionFit&) = delete;

    // After the control's text was set: picks the largest font it fits in.
    void Fit(HWND control);
    // A drop-down list opens wide enough for its longest item.
    static void WidenDropDown(HWND combo);

private:
    HFONT FontSmallerBy(int pixels);
    int NeededWidth(HWND control, HFONT font) const;

    HWND m_dialog;
    HFONT m_base = nullptr;
    std::vector<HFONT> m_smaller;  // index i: i + 1 pixels smaller than the dialog's font
};

}  // namespace win32
