#include "edit_ip_dlg.h"

#include <commctrl.h>

#include <algorithm>

#include "dpi_scale.h"
#include "message_box.h"
#include "model/control_ids.h"
#include "model/texts.h"
#include "wide_text.h"
#include "window_placement.h"

using namespace quillane;

namespace win32 {
namespace {

constexpr int kTemplateId = 129;
constexpr int kAddressIds[5] = {kIdEditIP, kIdEditMask, kIdEditGateway, kIdEditServer, kIdEditBackupServer};
constexpr int kCheckIds[5] = {kIdCheckIP, kIdCheckMask, kIdCheckGateway, kIdCheckServer,
                              kIdCheckBackupServer};
constexpr int kMarginPixels = 2;  // at 96 DPI

}  // namespace

CEditIP::CEditIP(std::string dir, int language, const IpDeviceValues& device, HelperStarter startHelper)
    : m_strDir(std::move(dir)),
      m_nLanguage(language),
      m_device(device),
      m_startHelper(std::move(startHelper)) {}

CEditIP::~CEditIP() {
    if (m_hWnd) DestroyWindow(m_hWnd);
}

INT_PTR CEditIP::DoModal(HINSTANCE instance, HWND owner) {
    m_modal = true;
    m_endResult = DialogBoxParamW(instance, MAKEINTRESOURCEW(kTemplateId), owner, DialogProc,
                                  reinterpret_cast<LPARAM>(this));
    return m_endResult;
}

HWND CEditIP::Create(HINSTANCE instance, HWND owner) {
    m_modal = false;
    HWND window = CreateDialogParamW(instance, MAKEINTRESOURCEW(kTemplateId), owner, DialogProc,
                                     reinterpret_cast<LPARAM>(this));
    if (window) ShowWindow(window, SW_SHOW);
    return window;
}

INT_PTR CALLBACK CEditIP::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        reinterpret_cast<CEditIP*>(lParam)->OnInitDialog(window);
        return TRUE;
    }
    auto* self = reinterpret_cast<CEditIP*>(GetWindowLongPtrW(window, DWLP_USER));
    return self ? self->OnMessage(message, wParam, lParam) : FALSE;
}

INT_PTR CEditIP::OnMessage(UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_COMMAND:
            if (HIWORD(wParam) != BN_CLICKED) return FALSE;
            switch (LOWORD(wParam)) {
                case IDOK:
                    OnOk();
                    return TRUE;
                case IDCANCEL:  // Cancel, Escape and the close box: nothing is saved
                    End(IDCANCEL);
                    return TRUE;
                case kIdEditKeyboard:
                    OnKeyboard();
                    return TRUE;
                default:
                    return FALSE;
            }
        case WM_DESTROY:
            m_hWnd = nullptr;
            return FALSE;
        default:
            return FALSE;
    }
}

void CEditIP::OnInitDialog(HWND window) {
    m_hWnd = window;
    m_captionFit = std::make_unique<CaptionFit>(window);
    m_values = InitialIpSettings(ReadIpSettings(m_strDir), m_device);
    ApplyTexts();
    ShowValues();
    CentreWindow(window, GetWindow(window, GW_OWNER));
}

void CEditIP::ApplyTexts() {
    const TextTable& t = Texts(m_nLanguage);
    HWND editTypes = Control(kIdEditType);
    for (const std::string& item : t.editTypes)
        SendMessageW(editTypes, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(W(item).c_str()));
    CaptionFit::WidenDropDown(editTypes);
    for (int i = 0; i < 4; ++i)
        SetDlgItemTextW(m_hWnd, kIdOctetLabel1 + i, W(t.octetLabels[static_cast<size_t>(i)]).c_str());
    for (int i = 0; i < 5; ++i) {
        SetDlgItemTextW(m_hWnd, kIdLabelIP + i, W(t.fieldLabels[static_cast<size_t>(i)]).c_str());
        FitFieldLabel(kIdLabelIP + i);
        SetDlgItemTextW(m_hWnd, kCheckIds[i], W(t.modifyBox).c_str());
    }
    SetDlgItemTextW(m_hWnd, kIdEditKeyboard, W(t.ipDialogKeyboard).c_str());
    SetDlgItemTextW(m_hWnd, kIdOk, W(t.ok).c_str());
    SetDlgItemTextW(m_hWnd, kIdDialogCancel, W(t.dialogCancel).c_str());
    SetWindowTextW(m_hWnd, W(t.ipDialogTitle).c_str());
    for (int id :
         {kIdOctetLabel1, kIdOctetLabel1 + 1, kIdOctetLabel1 + 2, kIdOctetLabel4, kIdEditKeyboard, kIdOk,
          kIdDialogCancel, kIdCheckIP, kIdCheckMask, kIdCheckGateway, kIdCheckServer, kIdCheckBackupServer})
        m_captionFit->Fit(Control(id));
}

// The labels were drawn for the Chinese texts and stand against their fields
// with free room on their left: a longer text grows leftwards, right-aligned,
// and where even that room ends it takes a second line, centred on its field,
// instead of being cut off.
void CEditIP::FitFieldLabel(int id) {
    HWND label = Control(id);
    const std::wstring text = W(WindowTextUtf8(label));
    HDC dc = GetDC(label);
    HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(label, WM_GETFONT, 0, 0)));
    SIZE oneLine{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &oneLine);

    RECT box;
    GetWindowRect(label, &box);
    MapWindowPoints(HWND_DESKTOP, m_hWnd, reinterpret_cast<POINT*>(&box), 2);
    if (oneLine.cx + 1 > box.right - box.left) {
        const int margin = ScaleForDpi(kMarginPixels, WindowDpi(m_hWnd));
        const int left = std::max<int>(margin, box.right - oneLine.cx - 1);
        RECT wrapped{0, 0, box.right - left, 0};
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &wrapped, DT_CALCRECT | DT_WORDBREAK);
        const int height = std::max<int>(box.bottom - box.top, wrapped.bottom);
        const int top = box.top - (height - (box.bottom - box.top)) / 2;
        SetWindowLongPtrW(label, GWL_STYLE, (GetWindowLongPtrW(label, GWL_STYLE) & ~SS_TYPEMASK) | SS_RIGHT);
        MoveWindow(label, left, top, box.right - left, height, TRUE);
    }
    SelectObject(dc, previous);
    ReleaseDC(label, dc);
}

void CEditIP::ShowValues() {
    SendMessageW(Control(kIdEditType), CB_SETCURSEL, static_cast<WPARAM>(m_values.editType), 0);
    const IpSettingsRows rows = RowsOfIpSettings(m_values);
    for (size_t i = 0; i < rows.size(); ++i) {
        SendMessageW(Control(kAddressIds[i]), IPM_SETADDRESS, 0, static_cast<LPARAM>(rows[i].address));
        CheckDlgButton(m_hWnd, kCheckIds[i], rows[i].ticked ? BST_CHECKED : BST_UNCHECKED);
    }
}

// A blank field of an address control reads 0.
IpSettingsValues CEditIP::EnteredValues() const {
    IpSettingsRows rows;
    for (size_t i = 0; i < rows.size(); ++i) {
        DWORD address = 0;
        SendMessageW(Control(kAddressIds[i]), IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&address));
        rows[i] = {IsDlgButtonChecked(m_hWnd, kCheckIds[i]) == BST_CHECKED, address};
    }
    return IpSettingsOfRows(rows, static_cast<int>(SendMessageW(Control(kIdEditType), CB_GETCURSEL, 0, 0)));
}

void CEditIP::OnOk() {
    const IpSettingsValues entered = EnteredValues();
    if (const auto refused = ConfirmOrRefuseIpSettings(m_strDir, entered, m_device, m_nLanguage)) {
        ShowMessageBox(m_hWnd, refused->text, refused->caption);
        return;
    }
    m_values = entered;
    End(IDOK);
}

void CEditIP::OnKeyboard() {
    RECT button{};
    GetWindowRect(Control(kIdEditKeyboard), &button);
    if (m_startHelper) m_startHelper(IpDialogKeyboardCommand(button.left, button.top));
}

void CEditIP::End(INT_PTR result) {
    m_endResult = result;
    if (m_modal) {
        EndDialog(m_hWnd, result);
    } else {
        DestroyWindow(m_hWnd);
    }
}

}  // namespace win32
