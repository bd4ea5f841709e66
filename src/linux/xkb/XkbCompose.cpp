#include "linux/xkb/XkbCompose.h"

#include <xkbcommon/xkbcommon-compose.h>
#include <xkbcommon/xkbcommon-keysyms.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>

namespace quenby {
namespace {

// The locale as an Xlib client started from the same environment would see it.
std::string ClientLocale() {
    for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') {
            return value;
        }
    }
    return "C";
}

// Parsing the system's table takes a while; it is read once per process.
xkb_compose_table* ComposeTable() {
    static const std::unique_ptr<xkb_compose_table, void (*)(xkb_compose_table*)> table(
        [] {
            xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
            if (context == nullptr) {
                return static_cast<xkb_compose_table*>(nullptr);
            }
            xkb_compose_table* found = xkb_compose_table_new_from_locale(
                context, ClientLocale().c_str(), XKB_COMPOSE_COMPILE_NO_FLAGS);
            if (found == nullptr) {
                found =
                    xkb_compose_table_new_from_locale(context, "C", XKB_COMPOSE_COMPILE_NO_FLAGS);
            }
            xkb_context_unref(context);
            return found;
        }(),
        xkb_compose_table_unref);
    return table.get();
}

}  // namespace

std::unordered_map<char32_t, KeySequence> FindComposedCharacters(
    const std::vector<std::pair<xkb_keysym_t, KeyForCharacter>>& strokes) {
    std::unordered_map<char32_t, KeySequence> composed;
    xkb_compose_table* table = ComposeTable();
    if (table == nullptr) {
        return composed;
    }
    xkb_compose_state* state = xkb_compose_state_new(table, XKB_COMPOSE_STATE_NO_FLAGS);
    std::vector<std::pair<xkb_keysym_t, KeyForCharacter>> seconds;
    for (const auto& stroke : strokes) {
        if (stroke.first == XKB_KEY_space) {
            seconds.insert(seconds.begin(), stroke);
        } else {
            seconds.push_back(stroke);
        }
    }
    // Without an iterator over the table (newer xkbcommon only), every pair of the layout's own
    // keysyms is tried: a few dead keys times the keys of one group.
    for (const auto& [first, firstKey] : strokes) {
        xkb_compose_state_reset(state);
        if (xkb_compose_state_feed(state, first) != XKB_COMPOSE_FEED_ACCEPTED ||
            xkb_compose_state_get_status(state) != XKB_COMPOSE_COMPOSING) {
            continue;
        }
        for (const auto& [second, secondKey] : seconds) {
            xkb_compose_state_reset(state);
            xkb_compose_state_feed(state, first);
            xkb_compose_state_feed(state, second);
            if (xkb_compose_state_get_status(state) != XKB_COMPOSE_COMPOSED) {
                continue;
            }
            const char32_t character = xkb_keysym_to_utf32(xkb_compose_state_get_one_sym(state));
            if (character != 0) {
                composed.emplace(character, KeySequence{firstKey, secondKey});
            }
        }
    }
    xkb_compose_state_unref(state);
    return composed;
}

void CComposedKeys::AddStroke(xkb_keysym_t keysym, KeyForCharacter key) {
    if (std::none_of(m_strokes.begin(), m_strokes.end(),
                     [keysym](const auto& stroke) { return stroke.first == keysym; })) {
        m_strokes.emplace_back(keysym, key);
    }
}

std::optional<KeyForCharacter> CComposedKeys::Find(char32_t character) {
    if (!m_bFound) {
        m_bFound = true;
        constexpr std::array<EKeyModifier, 3> kLevelModifiers{
            KEY_MODIFIER_SHIFT, KEY_MODIFIER_LEVEL3, KEY_MODIFIER_LEVEL5};
        for (auto& [composed, sequence] : FindComposedCharacters(m_strokes)) {
            m_composed.emplace(composed,
                               kFirstSequenceKey + static_cast<KeyCode>(m_sequences->size()));
            PressSequence presses;
            for (std::size_t i = 0; i < sequence.size(); ++i) {
                for (std::size_t m = 0; m < kLevelModifiers.size(); ++m) {
                    if ((sequence[i].m_modifiers & kLevelModifiers[m]) != 0) {
                        presses.m_held[i].push_back(m_modifierKeys[m]);
                    }
                }
                presses.m_keys[i] = sequence[i].m_key;
            }
            m_sequences->push_back(std::move(presses));
        }
    }
    const auto it = m_composed.find(character);
    if (it == m_composed.end()) {
        return std::nullopt;
    }
    return KeyForCharacter{it->second, 0};
}

void CComposedKeys::PressKeysOf(const std::vector<PressSequence>& sequences, KeyCode key,
                                const std::function<void(KeyCode, bool)>& send) {
    if (!IsSequenceKey(key) || key - kFirstSequenceKey >= sequences.size()) {
        return;
    }
    const PressSequence& sequence = sequences[key - kFirstSequenceKey];
    for (std::size_t i = 0; i < sequence.m_keys.size(); ++i) {
        for (KeyCode modifier : sequence.m_held[i]) {
            send(modifier, true);
        }
        send(sequence.m_keys[i], true);
        send(sequence.m_keys[i], false);
        for (auto it = sequence.m_held[i].rbegin(); it != sequence.m_held[i].rend(); ++it) {
            send(*it, false);
        }
    }
}

}  // namespace quenby
