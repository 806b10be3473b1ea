#pragma once

// Starting the external on-screen keyboard (and any other helper program)
// as a separate process that the tool never waits for.

#include <functional>
#include <string>
#include <vector>

namespace quillane {

#ifdef _WIN32
inline constexpr const char* kKeyboardProgram = "ScreenKeyBoard.exe";
#else
inline constexpr const char* kKeyboardProgram = "ScreenKeyBoard";
#endif

// "ScreenKeyBoard x y": the keyboard program with the screen position at which it is to appear.
std::string KeyboardCommandLine(int x, int y);

// The program file a bare program name stands for: the executable's folder
// first, then the search path; "" when none exists. Names with a separator are taken as they are.
std::string FindHelperProgram(const std::string& appDir, const std::string& name);

// Something that starts a helper program by its command line; the window's
// is replaceable, so tests can watch what would be started.
using HelperStarter = std::function<void(const std::string& commandLine)>;

// Starts `commandLine` (program name, then arguments, separated by blanks)
// detached: no console, no inherited sockets, no waiting. Returns false (and
// does nothing) when the program is missing or cannot be started.
bool StartHelperProgram(const std::string& appDir, const std::string& commandLine);

// The blank-separated words of a command line.
std::vector<std::string> SplitCommandLine(const std::string& commandLine);

}  // namespace quillane
