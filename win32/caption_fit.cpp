#include "caption_fit.h"

#include <algorithm>
#include <string>

namespace win32 {
namespace {

// Down to this many pixels below the dialog's font; smaller stops being legible.
constexpr int kMostPixelsSmaller = 3;

std::wstring TextOf(HWND control) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
    return text;
}

int TextWidth(HWND control, HFONT font, const std::wstring& text) {
    HDC dc = GetDC(control);
    HGDIOBJ previous = SelectObject(dc, font);
    RECT box{0, 0, 0, 0};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &box, DT_CALCRECT | DT_SINGLELINE);
    SelectObject(dc, previous);
    ReleaseDC(control, dc);
    return box.right - box.left;
}

enum class Kind { Button, CheckBox, Label, Other };

Kind KindOf(HWND control) {
    wchar_t className[32] = {};
    GetClassNameW(control, className, static_cast<int>(std::size(className)));
    const LONG_PTR style = GetWindowLongPtrW(control, GWL_STYLE);
    if (_wcsicmp(className, L"Static") == 0) return Kind::Label;
    if (_wcsicmp(className, L"Button") != 0) return Kind::Other;
    const LONG_PTR type = style & BS_TYPEMASK;
    if (type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_3STATE || type == BS_AUTO3STATE ||
        type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON)
        return Kind::CheckBox;
    return Kind::Button;
}

}  // namespace

CaptionFit::CaptionFit(HWND dialog)
    : m_dialog(dialog), m_base(reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0))) {}

CaptionFit::~CaptionFit() {
    for (HFONT font : m_smaller) DeleteObject(font);
}

HFONT CaptionFit::FontSmallerBy(int pixels) {
    if (pixels <= 0 || !m_base) return m_base;
    while (static_cast<int>(m_smaller.size()) < pixels) {
        LOGFONTW font{};
        GetObjectW(m_base, sizeof font, &font);
        const int step = static_cast<int>(m_smaller.size()) + 1;
        font.lfHeight = font.lfHeight < 0 ? font.lfHeight + step : std::max<LONG>(1, font.lfHeight - step);
        font.lfWidth = 0;
        m_smaller.push_back(CreateFontIndirectW(&font));
    }
    return m_smaller[static_cast<size_t>(pixels - 1)];
}

int CaptionFit::NeededWidth(HWND control, HFONT font) const {
    const int text = TextWidth(control, font, TextOf(control));
    switch (KindOf(control)) {
        case Kind::CheckBox:  // the box, the gap beside it and the focus frame
            return GetSystemMetrics(SM_CXMENUCHECK) + 4 + text + 2;
        case Kind::Button:
            return text + 2 * GetSystemMetrics(SM_CXEDGE) + 6;
        default:
            return text + 1;
    }
}

void CaptionFit::Fit(HWND control) {
    if (!control || KindOf(control) == Kind::Other || !m_base) return;
    RECT box;
    GetClientRect(control, &box);
    const int room = box.right - box.left;
    int smaller = 0;
    while (smaller < kMostPixelsSmaller && NeededWidth(control, FontSmallerBy(smaller)) > room) ++smaller;
    HFONT font = FontSmallerBy(smaller);
    if (reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)) != font)
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    // A label that still does not fit says so with "..." instead of losing its end unseen.
    if (KindOf(control) == Kind::Label && NeededWidth(control, font) > room) {
        const LONG_PTR style = GetWindowLongPtrW(control, GWL_STYLE);
        if ((style & SS_TYPEMASK) == SS_LEFT) {
            SetWindowLongPtrW(control, GWL_STYLE,
                              (style & ~SS_TYPEMASK) | SS_LEFTNOWORDWRAP | SS_ENDELLIPSIS);
            InvalidateRect(control, nullptr, TRUE);
        }
    }
}

void CaptionFit::WidenDropDown(HWND combo) {
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(combo, WM_GETFONT, 0, 0));
    int widest = 0;
    const int count = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        const int length = static_cast<int>(SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0));
        if (length <= 0) continue;
        std::wstring item(static_cast<size_t>(length) + 1, L'\0');
        SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(item.data()));
        item.resize(static_cast<size_t>(length));
        widest = std::max(widest, TextWidth(combo, font, item));
    }
    const int needed = widest + GetSystemMetrics(SM_CXVSCROLL) + 2 * GetSystemMetrics(SM_CXEDGE) + 4;
    if (needed > static_cast<int>(SendMessageW(combo, CB_GETDROPPEDWIDTH, 0, 0)))
        SendMessageW(combo, CB_SETDROPPEDWIDTH, static_cast<WPARAM>(needed), 0);
}

}  // namespace win32
