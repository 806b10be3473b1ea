#include "support/utf8_command_line.h"

#ifdef _WIN32
// shellapi.h needs what windows.h declares.
// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on

#include "support/utf8.h"
#endif

namespace quillane {

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
#ifdef _WIN32
    int count = 0;
    if (LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count)) {
        std::vector<std::string> arguments;
        for (int i = 1; i < count; ++i) arguments.push_back(Utf8FromWide(wide[i]));
        LocalFree(wide);
        return arguments;
    }
#endif
    return argc > 1 ? std::vector<std::string>(argv + 1, argv + argc) : std::vector<std::string>();
}

void UseUtf8Console() {
#ifdef _WIN32
    SetConsoleOutputCP(CP_UTF8);
#endif
}

}  // namespace quillane
