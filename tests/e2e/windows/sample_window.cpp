// The Windows main window with sample rows and without any network service,
// for pictures of it (tools/windows/screenshot): the window driver takes
// them from outside and works the window as in a lab. Usage:
//
//   sample_window.exe APPDIR     (APPDIR holds Config.ini: the language)
//
// Runs until the window is closed.

#include <windows.h>
// After windows.h, whose types they use.
#include <commctrl.h>
#include <shellapi.h>

#include <string>

#include "costrel_dlg.h"
#include "model/device_table.h"
#include "model/device_types.h"
#include "model/texts.h"
#include "support/utf8.h"

using namespace quillane;

namespace {

// Rows of every kind a run leaves: chosen and not, states of an upgrade and
// of an address change, several device types.
void AddSampleRows(DeviceTable& table, Language language) {
    const TextTable& t = Texts(language);
    const char* versions[] = {"1.9.0.0", "1.10.0.0", "2.0.3.1"};
    const std::string states[] = {"", t.stateUpgrading, "45%", t.stateSuccess, t.stateNoSegment, "100%"};
    for (int i = 0; i < 12; ++i) {
        DeviceRow row;
        row[kColNo] = std::to_string(i + 1);
        row[kColChoice] = (i % 3 == 0) ? kCheckMark : "";
        row[kColVersion] = versions[i % 3];
        row[kColState] = states[i % 6];
        row[kColIP] = "192.168.40.";
        row[kColIP] += std::to_string(20 + i);
        row[kColMask] = "255.255.255.0";
        row[kColGateway] = "192.168.40.1";
        row[kColServer] = "192.168.40.250";
        row[kColStandbyServer] = "192.168.40.251";
        row[kColType] =
            DeviceTypeName(kDeviceTypes[static_cast<size_t>(i) % kDeviceTypes.size()].code, language);
        row[kColDeviceNo] = std::to_string(1000 + 7 * i);
        row[kColMarker] = std::string(1, '0');  // not = "0": GCC 12 warns falsely (-Wrestrict)
        table.AppendRow(row);
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(commandLine, &count);
    if (!arguments || count < 1) return 2;
    std::wstring appDir = arguments[0];
    LocalFree(arguments);
    if (!appDir.empty() && appDir.back() != L'\\') appDir += L'\\';

    INITCOMMONCONTROLSEX controls{sizeof controls, 0xFF | ICC_INTERNET_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    StationNetwork network;
    network.startServices = false;
    win32::COstrelDlg window(Utf8FromWide(appDir), network, instance);
    HWND handle = window.Create();
    if (!handle) return 1;
    AddSampleRows(window.GetStation().m_DeviceList, window.GetStation().m_nLanguage);
    window.SetProgress(45);
    MSG message;
    while (!window.Ended() && GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (IsDialogMessageW(handle, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}
