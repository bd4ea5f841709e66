#pragma once

#include <xkbcommon/xkbcommon.h>

#include <array>
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

}  // namespace quenby
