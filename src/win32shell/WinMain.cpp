// Quenby.exe: Windows hands over what follows the program's name, which is the data file that
// Explorer opens with it, or `--stop` / `--toggle` for the running Quenby.
#include <windows.h>

#include "win32shell/QuenbyProgram.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int) {
    return quenby::RunQuenbyProgram(commandLine != nullptr ? commandLine : L"");
}
