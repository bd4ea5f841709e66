// The profile file as a user might have mangled it: every read gives a value or the default,
// and a write afterwards keeps the unreadable file aside and succeeds.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "linux/IniProfileStore.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::filesystem::path folder = [] {
        char pattern[] = "/tmp/quenby-profile-fuzz-XXXXXX";
        return std::filesystem::path(::mkdtemp(pattern));
    }();
    const std::filesystem::path file = folder / "profile.conf";
    std::filesystem::remove(folder / "profile.conf.unreadable");
    std::ofstream(file, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    quenby::CIniProfileStore store(file);
    for (const char* name : {"m_iCount", "Column0", "StartStopAutomaticTyping Key"}) {
        (void)store.GetInt("Settings", name, 5);
    }
    (void)store.GetString("Settings", "LastFilePath");
    if (auto bytes = store.GetBinary("Settings", "Location"); bytes && bytes->size() > size) {
        std::abort();  // base64 never decodes to more than it was
    }
    if (!store.WriteInt("Settings", "m_iCount", 7) ||
        store.GetInt("Settings", "m_iCount", 5) != 7) {
        std::abort();
    }
    return 0;
}
