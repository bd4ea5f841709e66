#pragma once

#include <string>

namespace quenby {

// The whole program on the calling thread: the main window over the Windows services and the
// controller, until the window is destroyed. `commandLine` is what follows the program's name
// (the data file to open, quoted or not, or `--stop` / `--toggle`, which only reach a running
// Quenby); the result is the exit code.
int RunQuenbyProgram(const std::wstring& commandLine);

}  // namespace quenby
