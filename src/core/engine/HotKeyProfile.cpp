#include "engine/HotKeyProfile.h"

#include <array>
#include <utility>

#include "platform/ProfileStore.h"

namespace quenby {
namespace {

// CONTROL_FLAG_* flag and its SYSTEM_FLAG_* counterpart.
constexpr std::array<std::pair<std::uint16_t, std::uint16_t>, 4> kModifierPairs{{
    {CONTROL_FLAG_SHIFT, SYSTEM_FLAG_SHIFT},
    {CONTROL_FLAG_CONTROL, SYSTEM_FLAG_CONTROL},
    {CONTROL_FLAG_ALT, SYSTEM_FLAG_ALT},
    {CONTROL_FLAG_EXT, SYSTEM_FLAG_WIN},
}};

}  // namespace

std::uint16_t CHotKeyProfile::TranslateModifiers(std::uint16_t flags) {
    std::uint16_t translated = 0;
    for (const auto& [control, system] : kModifierPairs) {
        // The table is symmetric (Shift 1<->4, Alt 4<->1), so one lookup serves both ways.
        if ((flags & control) != 0) {
            translated = static_cast<std::uint16_t>(translated | system);
        }
    }
    return translated;
}

std::string CHotKeyProfile::KeyValueName(std::string_view name) {
    return std::string(name) + " Key";
}

std::string CHotKeyProfile::ModValueName(std::string_view name) {
    return std::string(name) + " Mod";
}

HotKey CHotKeyProfile::LoadHotKey(std::string_view name) const {
    HotKey hotKey;
    hotKey.m_wVirtualKey =
        static_cast<std::uint16_t>(m_store.GetInt(kProfileSection, KeyValueName(name), 0));
    hotKey.m_wSystemFlags =
        static_cast<std::uint16_t>(m_store.GetInt(kProfileSection, ModValueName(name), 0));
    hotKey.m_wControlFlags = TranslateModifiers(hotKey.m_wSystemFlags);
    return hotKey;
}

bool CHotKeyProfile::StoreHotKey(std::string_view name, std::uint16_t virtualKey,
                                 std::uint16_t controlFlags) {
    if (!m_store.WriteInt(kProfileSection, KeyValueName(name), virtualKey)) {
        return false;
    }
    return m_store.WriteInt(kProfileSection, ModValueName(name), TranslateModifiers(controlFlags));
}

}  // namespace quenby
