// Drives the Windows window (quillane.exe) from outside its process, as an
// operator would: finds it by its title, presses its buttons, reads its list
// view, answers the IP settings dialog and message boxes, and takes pictures
// of its windows. It runs under the same wine server as the window (same
// prefix, same network namespace, same display).
//
// Reads one command per line on standard input and answers each with one line
// on standard output: "ok [VALUE]" or "error WHAT". Texts are UTF-8; the
// last argument of a command may contain spaces. "help" lists the commands.

#include <windows.h>
// The common controls' messages need the types above.
#include <commctrl.h>
#include <fcntl.h>
#include <io.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr const char* kHelp =
    "commands (ID: a control id; MS: a time limit in milliseconds; TEXT: the rest of the line):\n"
    "  window MS                  waits for the main window (title \"Quillane\")\n"
    "  title                      the main window's title\n"
    "  text ID | enabled ID | checked ID\n"
    "  click ID                   presses an enabled button of the main window (not waiting for it)\n"
    "  set-check ID 0|1           clicks a check box of the main window when its state differs\n"
    "  wait-text ID MS TEXT       until the control's text is TEXT\n"
    "  wait-enabled ID 0|1 MS\n"
    "  rows                       rows of the device list\n"
    "  wait-rows N MS             until the list has N rows\n"
    "  press-and-count ID N MS    presses a button of a window whose list is empty, then waits for N\n"
    "                             rows: milliseconds from the press to the N-th row\n"
    "  cell ROW COL               a cell's text\n"
    "  table                      every row, cells separated by tabs, then ok COUNT\n"
    "  wait-cell ROW COL MS TEXT  until the cell reads TEXT\n"
    "  click-cell ROW COL         a mouse click on the cell\n"
    "  dialog MS TITLE            waits for a dialog of the window with that title; later dlg-* use it\n"
    "  dlg-ip ID A.B.C.D | dlg-ip-get ID | dlg-check ID 0|1 | dlg-combo ID INDEX | dlg-text ID\n"
    "  dlg-click ID               presses a button of the dialog\n"
    "  dlg-gone MS                until the dialog has closed\n"
    "  message MS                 waits for a message box: ok CAPTION<tab>TEXT, then answers it with OK\n"
    "  no-message                 error when a message box is open\n"
    "  capture main|dialog FILE   the window as it is on the screen, a 24-bit BMP file\n"
    "  syscommand N               a command of the main window's system menu (16: About)\n"
    "  close                      asks the main window to close\n"
    "  wait-closed MS             until the main window is gone\n";

std::wstring Wide(const std::string& text) {
    if (text.empty()) return {};
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
    return wide;
}

std::string Utf8(const std::wstring& wide) {
    if (wide.empty()) return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string text(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), text.data(), size, nullptr,
                        nullptr);
    return text;
}

std::string WindowText(HWND window) {
    wchar_t text[1024] = {};
    // WM_GETTEXT is carried across processes; GetWindowText would not ask a window of another process.
    SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000,
                        nullptr);
    return Utf8(text);
}

std::string ClassName(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return Utf8(name);
}

// Polls until the check holds or the time is up.
template <class Check>
bool WaitFor(int milliseconds, Check check) {
    const auto end = Clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        if (check()) return true;
        if (Clock::now() >= end) return false;
        std::this_thread::sleep_for(5ms);
    }
}

// A block of memory inside the window's process, for the list view messages
// whose arguments are pointers (they are not carried across processes).
class RemoteBuffer {
public:
    RemoteBuffer(HWND window, size_t size) : m_size(size) {
        DWORD processId = 0;
        GetWindowThreadProcessId(window, &processId);
        m_process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId);
        if (m_process)
            m_address =
                static_cast<char*>(VirtualAllocEx(m_process, nullptr, size, MEM_COMMIT, PAGE_READWRITE));
    }
    ~RemoteBuffer() {
        if (m_address) VirtualFreeEx(m_process, m_address, 0, MEM_RELEASE);
        if (m_process) CloseHandle(m_process);
    }
    RemoteBuffer(const RemoteBuffer&) = delete;
    RemoteBuffer& operator=(const RemoteBuffer&) = delete;

    bool Valid() const { return m_address != nullptr; }
    char* At(size_t offset) const { return m_address + offset; }
    bool Write(size_t offset, const void* data, size_t size) {
        return offset + size <= m_size && WriteProcessMemory(m_process, At(offset), data, size, nullptr);
    }
    bool Read(size_t offset, void* data, size_t size) {
        return offset + size <= m_size && ReadProcessMemory(m_process, At(offset), data, size, nullptr);
    }

private:
    size_t m_size;
    HANDLE m_process = nullptr;
    char* m_address = nullptr;
};

class Driver {
public:
    std::string Run(const std::string& line);

private:
    std::string Window(int ms);
    HWND Control(int id) const { return GetDlgItem(m_main, id); }
    HWND List() const { return Control(1000); }
    int Rows() const { return static_cast<int>(SendMessageW(List(), LVM_GETITEMCOUNT, 0, 0)); }
    std::optional<std::string> Cell(int row, int column);
    std::string Table();
    std::string ClickCell(int row, int column);
    std::string PressAndCount(int id, int rows, int ms);
    std::string Press(HWND button);
    HWND FindDialog(const std::string& title) const;
    HWND FindMessageBox() const;
    std::string AnswerMessage(int ms);
    std::string Capture(HWND window, const std::string& file);

    HWND m_main = nullptr;
    HWND m_dialog = nullptr;
    DWORD m_processId = 0;
};

struct FoundWindow {
    DWORD processId = 0;  // 0: any process
    std::wstring title;
    bool needsMainProperty = false;
    bool messageBox = false;
    HWND found = nullptr;
    HWND except = nullptr;  // the main window: its "~" is a static of id 0xFFFF too
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM argument) {
    auto& wanted = *reinterpret_cast<FoundWindow*>(argument);
    if (window == wanted.except || !IsWindowVisible(window) || ClassName(window) != "#32770") return TRUE;
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (wanted.processId && processId != wanted.processId) return TRUE;
    if (wanted.needsMainProperty && !GetPropW(window, L"Quillane.MainWindow")) return TRUE;
    if (wanted.messageBox) {
        // A message box: its text is the static control 0xFFFF.
        if (!GetDlgItem(window, 0xFFFF)) return TRUE;
    } else if (Wide(WindowText(window)) != wanted.title) {
        return TRUE;
    }
    wanted.found = window;
    return FALSE;
}

std::string Driver::Window(int ms) {
    FoundWindow wanted{0, L"Quillane", true};
    const bool found = WaitFor(ms, [&] {
        wanted.found = nullptr;
        EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&wanted));
        return wanted.found != nullptr;
    });
    if (!found) return "error no main window";
    m_main = wanted.found;
    GetWindowThreadProcessId(m_main, &m_processId);
    return "ok";
}

HWND Driver::FindDialog(const std::string& title) const {
    FoundWindow wanted{m_processId, Wide(title)};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&wanted));
    return wanted.found != m_main ? wanted.found : nullptr;
}

HWND Driver::FindMessageBox() const {
    FoundWindow wanted{m_processId, L"", false, true, nullptr, m_main};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&wanted));
    return wanted.found;
}

std::optional<std::string> Driver::Cell(int row, int column) {
    constexpr size_t kTextChars = 512;
    RemoteBuffer remote(List(), sizeof(LVITEMW) + kTextChars * sizeof(wchar_t));
    if (!remote.Valid()) return std::nullopt;
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.iSubItem = column;
    item.pszText = reinterpret_cast<wchar_t*>(remote.At(sizeof(LVITEMW)));
    item.cchTextMax = kTextChars;
    wchar_t text[kTextChars] = {};
    if (!remote.Write(0, &item, sizeof item) || !remote.Write(sizeof(LVITEMW), text, sizeof text))
        return std::nullopt;
    SendMessageW(List(), LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(remote.At(0)));
    if (!remote.Read(sizeof(LVITEMW), text, sizeof text)) return std::nullopt;
    text[kTextChars - 1] = L'\0';
    return Utf8(text);
}

std::string Driver::Table() {
    const int rows = Rows();
    const int columns = static_cast<int>(SendMessageW(
        reinterpret_cast<HWND>(SendMessageW(List(), LVM_GETHEADER, 0, 0)), HDM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < rows; ++row) {
        std::string line = "row";
        for (int column = 0; column < columns; ++column) {
            line += '\t';
            line += Cell(row, column).value_or("?");
        }
        std::cout << line << "\n";
    }
    return "ok " + std::to_string(rows);
}

// A real click, through the system's input: the list view selects the row and
// tells the window, as it does for the operator's mouse.
std::string Driver::ClickCell(int row, int column) {
    HWND list = List();
    SendMessageW(list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
    RemoteBuffer remote(list, sizeof(RECT));
    RECT cell{LVIR_BOUNDS, column, 0, 0};
    if (!remote.Valid() || !remote.Write(0, &cell, sizeof cell))
        return "error no access to the window's memory";
    if (!SendMessageW(list, LVM_GETSUBITEMRECT, static_cast<WPARAM>(row),
                      reinterpret_cast<LPARAM>(remote.At(0))))
        return "error no such cell";
    remote.Read(0, &cell, sizeof cell);
    POINT point{(cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2};
    ClientToScreen(list, &point);
    SetCursorPos(point.x, point.y);
    std::this_thread::sleep_for(50ms);
    INPUT clicks[2] = {};
    clicks[0].type = clicks[1].type = INPUT_MOUSE;
    clicks[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    clicks[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    if (SendInput(2, clicks, sizeof(INPUT)) != 2) return "error the click was not taken";
    // Past the double-click time, so that the next click is a click of its own.
    std::this_thread::sleep_for(std::chrono::milliseconds(GetDoubleClickTime() + 50));
    return "ok";
}

// Posted, so that a handler that opens a modal dialog does not hold the driver.
std::string Driver::Press(HWND button) {
    if (!button) return "error no such control";
    if (!IsWindowEnabled(button)) return "error the control is disabled";
    PostMessageW(button, BM_CLICK, 0, 0);
    return "ok";
}

std::string Driver::PressAndCount(int id, int rows, int ms) {
    HWND button = Control(id);
    const auto start = Clock::now();
    const std::string pressed = Press(button);
    if (pressed != "ok") return pressed;
    // Each millisecond: every poll is a message the window's thread answers
    // between its own work, so a tighter one would slow what it measures.
    const auto end = start + std::chrono::milliseconds(ms);
    while (Rows() < rows) {
        if (Clock::now() >= end) return "error " + std::to_string(Rows()) + " rows";
        std::this_thread::sleep_for(1ms);
    }
    const double elapsed = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    char text[32];
    std::snprintf(text, sizeof text, "ok %.1f", elapsed);
    return text;
}

std::string Driver::AnswerMessage(int ms) {
    HWND box = nullptr;
    if (!WaitFor(ms, [&] { return (box = FindMessageBox()) != nullptr; })) return "error no message box";
    const std::string answer = "ok " + WindowText(box) + "\t" + WindowText(GetDlgItem(box, 0xFFFF));
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
    if (!WaitFor(5000, [&] { return !IsWindow(box); })) return "error the message box stayed open";
    return answer;
}

std::string Driver::Capture(HWND window, const std::string& file) {
    if (!window || !IsWindow(window)) return "error no such window";
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
    std::this_thread::sleep_for(500ms);
    RECT frame{};
    GetWindowRect(window, &frame);
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;  // bottom-up, as a BMP file stores it
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, frame.left, frame.top, SRCCOPY);
    GdiFlush();
    const DWORD stride = ((static_cast<DWORD>(width) * 3 + 3) & ~3u);
    const DWORD imageSize = stride * static_cast<DWORD>(height);
    BITMAPFILEHEADER header{};
    header.bfType = 0x4D42;
    header.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    header.bfSize = header.bfOffBits + imageSize;
    info.bmiHeader.biSizeImage = imageSize;
    bool written = false;
    if (FILE* out = _wfopen(Wide(file).c_str(), L"wb")) {
        written = std::fwrite(&header, sizeof header, 1, out) == 1 &&
                  std::fwrite(&info.bmiHeader, sizeof(BITMAPINFOHEADER), 1, out) == 1 &&
                  std::fwrite(bits, imageSize, 1, out) == 1;
        written = std::fclose(out) == 0 && written;
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return written ? "ok " + std::to_string(width) + "x" + std::to_string(height)
                   : "error cannot write " + file;
}

// "word word rest of the line": the first count words, then the rest.
std::vector<std::string> Split(const std::string& line, size_t words) {
    std::vector<std::string> parts;
    size_t at = 0;
    while (parts.size() < words && at < line.size()) {
        const size_t start = line.find_first_not_of(' ', at);
        if (start == std::string::npos) break;
        const size_t end = line.find(' ', start);
        if (parts.size() + 1 == words || end == std::string::npos) {
            parts.push_back(line.substr(start));
            break;
        }
        parts.push_back(line.substr(start, end - start));
        at = end + 1;
    }
    return parts;
}

int Number(const std::vector<std::string>& parts, size_t index) {
    return index < parts.size() ? std::atoi(parts[index].c_str()) : 0;
}

std::string Driver::Run(const std::string& line) {
    const auto words = Split(line, 2);
    const std::string command = words.empty() ? "" : words[0];
    if (command == "help") return std::string(kHelp) + "ok";
    if (command == "window") return Window(Number(Split(line, 2), 1));
    if (!m_main) return "error no main window yet (window MS)";
    if (!IsWindow(m_main) && command != "wait-closed") return "error the main window is gone";
    const auto p = Split(line, 8);
    if (command == "title") return "ok " + WindowText(m_main);
    if (command == "text")
        return Control(Number(p, 1)) ? "ok " + WindowText(Control(Number(p, 1))) : "error no such control";
    if (command == "enabled") return IsWindowEnabled(Control(Number(p, 1))) ? "ok 1" : "ok 0";
    if (command == "checked")
        return SendMessageW(Control(Number(p, 1)), BM_GETCHECK, 0, 0) == BST_CHECKED ? "ok 1" : "ok 0";
    if (command == "click") return Press(Control(Number(p, 1)));
    if (command == "set-check") {
        HWND box = Control(Number(p, 1));
        const bool want = Number(p, 2) != 0;
        if ((SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED) == want) return "ok";
        const std::string pressed = Press(box);
        if (pressed != "ok") return pressed;
        return WaitFor(5000, [&] { return (SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED) == want; })
                   ? "ok"
                   : "error the box did not change";
    }
    if (command == "wait-text") {
        const auto q = Split(line, 4);
        HWND control = Control(Number(q, 1));
        const std::string want = q.size() > 3 ? q[3] : "";
        return WaitFor(Number(q, 2), [&] { return WindowText(control) == want; })
                   ? "ok"
                   : "error the text is \"" + WindowText(control) + "\"";
    }
    if (command == "wait-enabled") {
        HWND control = Control(Number(p, 1));
        const bool want = Number(p, 2) != 0;
        return WaitFor(Number(p, 3), [&] { return (IsWindowEnabled(control) != 0) == want; })
                   ? "ok"
                   : "error not so";
    }
    if (command == "rows") return "ok " + std::to_string(Rows());
    if (command == "wait-rows") {
        const int want = Number(p, 1);
        return WaitFor(Number(p, 2), [&] { return Rows() == want; })
                   ? "ok"
                   : "error " + std::to_string(Rows()) + " rows";
    }
    if (command == "press-and-count") return PressAndCount(Number(p, 1), Number(p, 2), Number(p, 3));
    if (command == "cell") {
        const auto text = Cell(Number(p, 1), Number(p, 2));
        return text ? "ok " + *text : "error no access to the window's memory";
    }
    if (command == "table") return Table();
    if (command == "wait-cell") {
        const auto q = Split(line, 5);
        const std::string want = q.size() > 4 ? q[4] : "";
        std::string last;
        return WaitFor(Number(q, 3),
                       [&] { return (last = Cell(Number(q, 1), Number(q, 2)).value_or("?")) == want; })
                   ? "ok"
                   : "error the cell reads \"" + last + "\"";
    }
    if (command == "click-cell") return ClickCell(Number(p, 1), Number(p, 2));
    if (command == "dialog") {
        const auto q = Split(line, 3);
        const std::string title = q.size() > 2 ? q[2] : "";
        m_dialog = nullptr;
        return WaitFor(Number(q, 1), [&] { return (m_dialog = FindDialog(title)) != nullptr; })
                   ? "ok"
                   : "error no dialog \"" + title + "\"";
    }
    if (command.rfind("dlg-", 0) == 0) {
        if (command == "dlg-gone")
            return WaitFor(Number(p, 1), [&] { return !IsWindow(m_dialog); }) ? "ok"
                                                                              : "error the dialog is open";
        if (!m_dialog || !IsWindow(m_dialog)) return "error no dialog open";
        HWND control = GetDlgItem(m_dialog, Number(p, 1));
        if (!control) return "error no such control in the dialog";
        if (command == "dlg-text") return "ok " + WindowText(control);
        if (command == "dlg-click") return Press(control);
        if (command == "dlg-check") {
            SendMessageW(control, BM_SETCHECK, Number(p, 2) ? BST_CHECKED : BST_UNCHECKED, 0);
            return "ok";
        }
        if (command == "dlg-combo")
            return SendMessageW(control, CB_SETCURSEL, static_cast<WPARAM>(Number(p, 2)), 0) == CB_ERR
                       ? "error no such item"
                       : "ok";
        if (command == "dlg-ip") {
            unsigned a, b, c, d;
            if (p.size() < 3 || std::sscanf(p[2].c_str(), "%u.%u.%u.%u", &a, &b, &c, &d) != 4)
                return "error not an address";
            SendMessageW(control, IPM_SETADDRESS, 0, static_cast<LPARAM>(MAKEIPADDRESS(a, b, c, d)));
            return "ok";
        }
        if (command == "dlg-ip-get") {
            RemoteBuffer remote(control, sizeof(DWORD));
            DWORD address = 0;
            if (!remote.Valid()) return "error no access to the window's memory";
            SendMessageW(control, IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(remote.At(0)));
            remote.Read(0, &address, sizeof address);
            return "ok " + std::to_string(FIRST_IPADDRESS(address)) + "." +
                   std::to_string(SECOND_IPADDRESS(address)) + "." +
                   std::to_string(THIRD_IPADDRESS(address)) + "." + std::to_string(FOURTH_IPADDRESS(address));
        }
    }
    if (command == "message") return AnswerMessage(Number(p, 1));
    if (command == "no-message") {
        HWND box = FindMessageBox();
        return box ? "error a message box is open: " + WindowText(GetDlgItem(box, 0xFFFF)) : "ok";
    }
    if (command == "capture") {
        const auto q = Split(line, 3);
        HWND window = q.size() > 1 && q[1] == "dialog" ? m_dialog : m_main;
        return Capture(window, q.size() > 2 ? q[2] : "");
    }
    if (command == "syscommand") {
        PostMessageW(m_main, WM_SYSCOMMAND, static_cast<WPARAM>(Number(p, 1)), 0);
        return "ok";
    }
    if (command == "close") {
        PostMessageW(m_main, WM_CLOSE, 0, 0);
        return "ok";
    }
    if (command == "wait-closed")
        return WaitFor(Number(p, 1), [&] { return !IsWindow(m_main); }) ? "ok" : "error the window is open";
    return "error unknown command \"" + command + "\" (help lists them)";
}

}  // namespace

int main() {
    // Lines end in "\n" alone, as the scripts on the Linux side read them.
    _setmode(_fileno(stdout), _O_BINARY);
    Driver driver;
    std::string line;
    while (std::getline(std::cin, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        if (line == "quit") break;
        std::cout << driver.Run(line) << std::endl;
    }
    return 0;
}
