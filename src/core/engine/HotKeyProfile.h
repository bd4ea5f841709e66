#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quenby {

class IProfileStore;

// Modifier flags as the shortcut capture control reports them (the values of Windows' HOTKEYF_*,
// named apart from them because those are macros in the Windows headers).
inline constexpr std::uint16_t CONTROL_FLAG_SHIFT = 0x1;
inline constexpr std::uint16_t CONTROL_FLAG_CONTROL = 0x2;
inline constexpr std::uint16_t CONTROL_FLAG_ALT = 0x4;
inline constexpr std::uint16_t CONTROL_FLAG_EXT = 0x8;  // our capture control uses it for Super

// Modifier flags as the profile stores them and the global shortcut service takes them (the
// values of Windows' MOD_*, which RegisterHotKey takes unchanged).
inline constexpr std::uint16_t SYSTEM_FLAG_ALT = 0x1;
inline constexpr std::uint16_t SYSTEM_FLAG_CONTROL = 0x2;
inline constexpr std::uint16_t SYSTEM_FLAG_SHIFT = 0x4;
inline constexpr std::uint16_t SYSTEM_FLAG_WIN = 0x8;

// The start/stop shortcut's name: the prefix of its two profile values.
inline constexpr std::string_view kStartStopHotKeyName = "StartStopAutomaticTyping";

struct HotKey {
    std::uint16_t m_wVirtualKey = 0;    // 0: no shortcut
    std::uint16_t m_wControlFlags = 0;  // CONTROL_FLAG_* flags
    std::uint16_t m_wSystemFlags = 0;   // SYSTEM_FLAG_* flags, as stored
};

// Keeps a named shortcut in the profile as "<name> Key" and "<name> Mod". Stateless: every call
// reads or writes the profile afresh.
class CHotKeyProfile {
public:
    explicit CHotKeyProfile(IProfileStore& store) : m_store(store) {}

    HotKey LoadHotKey(std::string_view name) const;
    // Writes Key, then Mod only when Key was written; true when both were.
    bool StoreHotKey(std::string_view name, std::uint16_t virtualKey, std::uint16_t controlFlags);

    // Between CONTROL_FLAG_* and SYSTEM_FLAG_* flags; the mapping is its own inverse and drops
    // other bits.
    static std::uint16_t TranslateModifiers(std::uint16_t flags);
    static std::string KeyValueName(std::string_view name);
    static std::string ModValueName(std::string_view name);

private:
    IProfileStore& m_store;
};

}  // namespace quenby
