// quillane.exe: the native Windows window over the core.

#include <windows.h>

#include "costrel_app.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    return win32::RunApplication(instance);
}
