#include "linux/XdgPaths.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "app/ProfileValues.h"

namespace quenby {
namespace {

std::filesystem::path HomeFolder() {
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') {
        return home;
    }
    // Without $HOME, fall back to the account's home folder.
    if (const passwd* entry = getpwuid(getuid()); entry != nullptr && entry->pw_dir != nullptr) {
        return entry->pw_dir;
    }
    return "/";
}

std::filesystem::path FromEnvironment(const char* variable, const char* fallbackUnderHome) {
    // The XDG rules ignore a relative path in these variables.
    if (const char* value = std::getenv(variable); value != nullptr && value[0] == '/') {
        return value;
    }
    return HomeFolder() / fallbackUnderHome;
}

}  // namespace

std::filesystem::path XdgConfigHome() {
    return FromEnvironment("XDG_CONFIG_HOME", ".config");
}

std::filesystem::path XdgDataHome() {
    return FromEnvironment("XDG_DATA_HOME", ".local/share");
}

std::filesystem::path ProfileFilePath() {
    return XdgConfigHome() / std::string(kVendorKey) / (std::string(kAppTitleUtf8) + ".conf");
}

}  // namespace quenby
