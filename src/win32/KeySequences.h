#pragma once

#include <vector>

#include "platform/KeyboardOutput.h"

namespace quenby {

// One key press with the modifier keys held around it.
struct KeyStroke {
    KeyCode m_key = 0;
    std::vector<KeyCode> m_held;  // pressed in order before the key, released in reverse after
};

// One key going down or up.
struct KeyEvent {
    KeyCode m_key = 0;
    bool m_bDown = false;

    bool operator==(const KeyEvent&) const = default;
};

// Characters a layout reaches only through a dead key are typed as two strokes: the dead key,
// then Space (the accent on its own) or the letter it composes with. The layout names such a
// character by a key code of its own that stands for its sequence, and the output types the
// sequence when that key goes down; the core sees one key, as for any other character. Shared by
// the layout and the output of one message, on the typing thread.
class CKeySequences {
public:
    static constexpr KeyCode kSequenceFlag = 1u << 31;

    static bool IsSequence(KeyCode key) { return (key & kSequenceFlag) != 0; }
    // The key code that stands for the sequence from now on.
    KeyCode Add(std::vector<KeyStroke> strokes);
    // The sequence a key code stands for; empty for an unknown one.
    std::vector<KeyStroke> Find(KeyCode key) const;
    // The key events that type the sequence a key code stands for, in order: each stroke's
    // modifiers go down, its key goes down and up, and its modifiers come up again before the
    // next stroke, so that a modifier of the dead key never reaches the letter after it.
    std::vector<KeyEvent> Events(KeyCode key) const;

private:
    std::vector<std::vector<KeyStroke>> m_sequences;
};

}  // namespace quenby
