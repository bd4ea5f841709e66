#include "linux/wayland/VirtualKeymap.h"

#include <xkbcommon/xkbcommon-keysyms.h>

#include <algorithm>
#include <array>
#include <unordered_set>

namespace quenby {
namespace {

constexpr std::array<xkb_keysym_t, 5> kControlKeys{XKB_KEY_Return, XKB_KEY_Tab, XKB_KEY_BackSpace,
                                                   XKB_KEY_Escape, XKB_KEY_Delete};
// Keycode 8 is evdev's "no key": the first usable one is 9.
constexpr xkb_keycode_t kFirstKey = 9;

bool IsControlKey(xkb_keysym_t keysym) {
    return std::find(kControlKeys.begin(), kControlKeys.end(), keysym) != kControlKeys.end();
}

}  // namespace

CVirtualKeymap::CVirtualKeymap(const std::vector<xkb_keysym_t>& keysyms) {
    std::vector<xkb_keysym_t> all(kControlKeys.begin(), kControlKeys.end());
    for (xkb_keysym_t keysym : keysyms) {
        if (keysym != XKB_KEY_NoSymbol && !IsControlKey(keysym) &&
            std::find(all.begin(), all.end(), keysym) == all.end() &&
            all.size() < kControlKeys.size() + kCapacity) {
            all.push_back(keysym);
        }
    }
    std::string keycodes;
    std::string symbols;
    xkb_keycode_t key = kFirstKey;
    for (xkb_keysym_t keysym : all) {
        char name[64];
        xkb_keysym_get_name(keysym, name, sizeof name);
        const std::string code = std::to_string(key);
        keycodes += "  <K" + code + "> = " + code + ";\n";
        symbols +=
            "  key <K" + code + "> { type = \"ONE_LEVEL\", symbols[Group1] = [ " + name + " ] };\n";
        m_keys.emplace(keysym, key);
        ++key;
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
