#pragma once

#include <cstddef>
#include <iterator>
#include <string>

namespace quenby::test {

// A text of `length` UTF-16 units that mixes ASCII, accented Latin in both cases, Cyrillic,
// Greek, an emoji, dead-key symbols, Tab and line breaks with CJK characters drawn from `spread`
// different ones: more than 200 different characters need several keymaps of ours.
inline std::u16string MixedText(std::size_t length, unsigned spread) {
    const std::u16string pieces[] = {u"quick brown fox ",
                                     u"\u00e9\u00c9\u00df",
                                     u"\u0436\u0416",
                                     u"\u03a9\u03b1",
                                     u"\U0001F600",
                                     u"^`~",
                                     u"\t",
                                     u"\n"};
    std::u16string text;
    for (std::size_t i = 0; text.size() < length; ++i) {
        text += pieces[i % std::size(pieces)];
        text.push_back(static_cast<char16_t>(0x4E00 + (i * 7) % spread));
    }
    text.resize(length);
    return text;
}

}  // namespace quenby::test
