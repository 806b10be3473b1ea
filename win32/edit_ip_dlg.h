#pragma once

// The IP settings dialog (template 129): the new address settings of an
// address-change run, remembered in "Ostrel.ini". The rules live in the core
// (actions/ip_settings); this dialog shows the values and forwards the
// operator's input. Its Keyboard button starts the keyboard through
// `startHelper` (the station's starter); without one the button does nothing.

#include <windows.h>

#include <memory>
#include <string>

#include "caption_fit.h"
#include "model/ip_settings.h"
#include "support/helper_program.h"

namespace win32 {

class CEditIP {
public:
    CEditIP(std::string dir, quillane::Language language, const quillane::IpDeviceValues& device,
            quillane::HelperStarter startHelper = {});
    CEditIP(const CEditIP&) = delete;
    CEditIP& operator=(const CEditIP&) = delete;
    ~CEditIP();

    // Runs the dialog modally; IDOK only after a successful OK.
    INT_PTR DoModal(HINSTANCE instance, HWND owner);
    // The same dialog without a loop of its own (tests): shown at once, and
    // destroyed when it ends; EndResult() tells how it ended.
    HWND Create(HINSTANCE instance, HWND owner);
    // 0 while the dialog is open; IDOK or IDCANCEL once it has ended.
    INT_PTR EndResult() const { return m_endResult; }

    HWND Handle() const { return m_hWnd; }
    HWND Control(int id) const { return m_hWnd ? GetDlgItem(m_hWnd, id) : nullptr; }
    // Valid once the dialog ended with IDOK.
    const quillane::IpSettingsValues& Result() const { return m_values; }

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnInitDialog(HWND window);
    void ApplyTexts();
    void FitFieldLabel(int id);
    void ShowValues();
    quillane::IpSettingsValues EnteredValues() const;
    void OnOk();
    void OnKeyboard();
    void End(INT_PTR result);

    std::string m_strDir;
    quillane::Language m_nLanguage;
    quillane::IpDeviceValues m_device;
    quillane::HelperStarter m_startHelper;
    quillane::IpSettingsValues m_values;
    HWND m_hWnd = nullptr;
    bool m_modal = false;
    INT_PTR m_endResult = 0;
    std::unique_ptr<CaptionFit> m_captionFit;  // its fonts outlive the dialog's controls
};

}  // namespace win32
