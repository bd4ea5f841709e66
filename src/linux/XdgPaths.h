#pragma once

#include <filesystem>

namespace quenby {

// $XDG_CONFIG_HOME when set to an absolute path, else ~/.config. Read from the environment at
// every call (no caching), so each test can point it at its own folder.
std::filesystem::path XdgConfigHome();
// $XDG_DATA_HOME when set to an absolute path, else ~/.local/share.
std::filesystem::path XdgDataHome();
// The profile file: <config home>/Holvane/Quenby by Holvane.conf.
std::filesystem::path ProfileFilePath();

}  // namespace quenby
