#pragma once

// The command line and the console of a console program, in UTF-8 like every
// other text inside the core. Windows hands `main` its arguments in the ANSI
// code page and shows console output in the OEM page: a firmware path under a
// Chinese folder, or a Chinese device type in a listing, would not survive.

#include <string>
#include <vector>

namespace quillane {

// The program's arguments without the program name, as UTF-8: read from the
// wide command line on Windows, `argv` as it is elsewhere.
std::vector<std::string> Utf8Arguments(int argc, char** argv);

// Makes the console show UTF-8 output (Windows); nothing elsewhere.
void UseUtf8Console();

}  // namespace quillane
