#include "linux/wayland/VirtualKeymap.h"

#include <xkbcommon/xkbcommon-keysyms.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <unordered_set>
#include <utility>

namespace quenby {
namespace {

// Each control key sits on its own physical key (evdev numbering): some clients (Chromium) act
// on the physical key a keycode stands for before they look at its symbol.
struct ControlKey {
    xkb_keysym_t m_keysym;
    std::uint32_t m_evdev;
};
constexpr std::array<ControlKey, 5> kControlKeys{{{XKB_KEY_Return, 28},
                                                  {XKB_KEY_Tab, 15},
                                                  {XKB_KEY_BackSpace, 14},
                                                  {XKB_KEY_Escape, 1},
                                                  {XKB_KEY_Delete, 111}}};
// Text goes only on keys whose physical key types a character (evdev numbering): letters,
// digits, punctuation, Space, the keypad's digits and operators, and the extra keys of
// international keyboards. Chromium drops a key it has no physical key for, and a character on
// the keycode of Backspace, Tab, Enter, an F key or a navigation key acts as that key there.
constexpr std::array<std::uint32_t, CVirtualKeymap::kCapacity> kTextKeys{
    2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13,                        // digits - =
    16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27,                        // q..p [ ]
    30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40, 41,                        // a..l ; ' `
    43, 44, 45, 46, 47, 48, 49, 50, 51, 52, 53,                            // \ z..m , . /
    57,                                                                    // Space
    55, 71, 72, 73, 74, 75, 76, 77, 78, 79, 80, 81, 82, 83, 98, 117, 121,  // keypad
    86, 89, 124};                                                          // international
// Evdev numbers keys from 0; XKB from 8.
constexpr xkb_keycode_t kEvdevOffset = 8;

bool IsControlKey(xkb_keysym_t keysym) {
    return std::any_of(kControlKeys.begin(), kControlKeys.end(),
                       [keysym](const ControlKey& key) { return key.m_keysym == keysym; });
}

}  // namespace

CVirtualKeymap::CVirtualKeymap(const std::vector<xkb_keysym_t>& keysyms) {
    std::vector<std::pair<xkb_keysym_t, std::uint32_t>> keys;
    for (const ControlKey& control : kControlKeys) {
        keys.emplace_back(control.m_keysym, control.m_evdev);
    }
    std::size_t text = 0;
    for (xkb_keysym_t keysym : keysyms) {
        if (keysym != XKB_KEY_NoSymbol && !IsControlKey(keysym) && text < kTextKeys.size() &&
            std::none_of(keys.begin(), keys.end(),
                         [keysym](const auto& key) { return key.first == keysym; })) {
            keys.emplace_back(keysym, kTextKeys[text++]);
        }
    }
    std::string keycodes;
    std::string symbols;
    for (const auto& [keysym, evdev] : keys) {
        const xkb_keycode_t key = evdev + kEvdevOffset;
        char name[64];
        xkb_keysym_get_name(keysym, name, sizeof name);
        const std::string code = std::to_string(key);
        keycodes += "  <K" + code + "> = " + code + ";\n";
        symbols +=
            "  key <K" + code + "> { type = \"ONE_LEVEL\", symbols[Group1] = [ " + name + " ] };\n";
        m_keys.emplace(keysym, key);
    }
    // One level whatever the modifiers. The type names Lock and maps it to that level: a
    // modifier the key type uses counts as consumed, and clients change the case of a keysym for
    // Caps Lock only when Lock is not consumed.
    m_strText = "xkb_keymap {\nxkb_keycodes \"" + std::string(kKeycodesName) +
                "\" {\n  minimum = 8;\n  maximum = 255;\n" + keycodes +
                "};\nxkb_types \"quenby\" {\n  type \"ONE_LEVEL\" {\n    modifiers = Lock;\n"
                "    map[Lock] = Level1;\n    level_name[Level1] = \"Any\";\n  };\n};\n"
                "xkb_compatibility \"quenby\" {\n};\nxkb_symbols \"quenby\" {\n" +
                symbols + "};\n};\n";
}

xkb_keycode_t CVirtualKeymap::KeyFor(xkb_keysym_t keysym) const {
    const auto it = m_keys.find(keysym);
    return it == m_keys.end() ? 0 : it->second;
}

xkb_keysym_t CVirtualKeymap::KeysymFor(char32_t codePoint) {
    switch (codePoint) {
        case U'\t':
            return XKB_KEY_Tab;
        case U'\r':
        case U'\n':
            return XKB_KEY_Return;
        case U'\b':
            return XKB_KEY_BackSpace;
        case 0x1B:
            return XKB_KEY_Escape;
        case 0x7F:
            return XKB_KEY_Delete;
        default:
            break;
    }
    // Other control characters have no key; a surrogate half is no character at all.
    if (codePoint < 0x20 || (codePoint >= 0x80 && codePoint < 0xA0) ||
        (codePoint >= 0xD800 && codePoint <= 0xDFFF) || codePoint > 0x10FFFF) {
        return XKB_KEY_NoSymbol;
    }
    return xkb_utf32_to_keysym(codePoint);
}

std::vector<std::vector<xkb_keysym_t>> CVirtualKeymap::Chunks(
    const std::vector<xkb_keysym_t>& text) {
    std::vector<std::vector<xkb_keysym_t>> chunks;
    std::unordered_set<xkb_keysym_t> current;
    for (xkb_keysym_t keysym : text) {
        if (keysym == XKB_KEY_NoSymbol || IsControlKey(keysym) || current.count(keysym) != 0) {
            continue;
        }
        if (chunks.empty() || current.size() == kCapacity) {
            chunks.emplace_back();
            current.clear();
        }
        chunks.back().push_back(keysym);
        current.insert(keysym);
    }
    return chunks;
}

bool CVirtualKeymap::IsOurs(std::string_view keymapText) {
    const std::string marker = "xkb_keycodes \"" + std::string(kKeycodesName) + "\"";
    return keymapText.find(marker) != std::string_view::npos;
}

}  // namespace quenby
