#pragma once

#include <xkbcommon/xkbcommon.h>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/KeyboardOutput.h"

namespace quenby {

// Two key presses, the first a dead key (or another key that starts a compose sequence).
using KeySequence = std::array<KeyForCharacter, 2>;

// The characters that the compose table of the user's locale (the one Xlib's input method and
// xkbcommon read) makes of two presses of the given keys, each with the keys that make it.
// `strokes` holds each keysym the layout's active group types, with its plainest key, in the order
// to prefer; a Space second press comes first, as the usual way to type a dead key's own character.
std::unordered_map<char32_t, KeySequence> FindComposedCharacters(
    const std::vector<std::pair<xkb_keysym_t, KeyForCharacter>>& strokes);

// The keys behind a sequence key: for each of its two presses, the modifier keys held, then the
// key.
struct PressSequence {
    std::array<std::vector<KeyCode>, 2> m_held;
    std::array<KeyCode, 2> m_keys{};
};

// The characters a layout reaches only through a dead key, each as a sequence key: a number past
// the keycodes that stands for the dead key and the key after it, which the keyboard output
// presses in turn (PressKeysOf). The typer above sees one key, so a sequence is never cut in two
// and no dead key is left pending. Shared by every backend whose layout is an XKB keymap.
class CComposedKeys {
public:
    // Sequence keys are numbered from here on, indexes into Sequences().
    static constexpr KeyCode kFirstSequenceKey = 0x10000;

    CComposedKeys() = default;
    // `modifierKeys`: the keys to hold for Shift, Level 3 and Level 5 (0 when absent).
    explicit CComposedKeys(std::array<KeyCode, 3> modifierKeys) : m_modifierKeys(modifierKeys) {}

    // Notes a keysym the layout types, with its plainest key; the first noted for a keysym wins.
    void AddStroke(xkb_keysym_t keysym, KeyForCharacter key);
    // The sequence key that types the character; the compose table is read at the first call.
    std::optional<KeyForCharacter> Find(char32_t character);
    // The key presses behind each sequence key, shared with the output that types them.
    std::shared_ptr<const std::vector<PressSequence>> Sequences() const { return m_sequences; }

    static bool IsSequenceKey(KeyCode key) { return key >= kFirstSequenceKey; }
    // Sends the presses behind sequence key `key` (none for an unknown one) through `send`.
    static void PressKeysOf(const std::vector<PressSequence>& sequences, KeyCode key,
                            const std::function<void(KeyCode, bool)>& send);

private:
    std::array<KeyCode, 3> m_modifierKeys{};
    std::vector<std::pair<xkb_keysym_t, KeyForCharacter>> m_strokes;
    bool m_bFound = false;
    std::unordered_map<char32_t, KeyCode> m_composed;
    std::shared_ptr<std::vector<PressSequence>> m_sequences =
        std::make_shared<std::vector<PressSequence>>();
};

}  // namespace quenby
