#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace quenby {

// The lines of an 8-bit text file: each byte becomes the code point of the same value, CR LF
// becomes LF, LF ends a line and is dropped, a lone CR stays in the text, 0x1A ends the file, and
// a final line break does not make an empty last line.
std::vector<std::u16string> ReadSimpleTextLines(std::span<const std::uint8_t> bytes);

// The lines of a UTF-16LE text file, by the plain data file's line rule. A byte-order mark is not
// recognised (it stays as U+FEFF at the start of the first line) and a final odd byte is ignored.
std::vector<std::u16string> ReadUnicodeTextLines(std::span<const std::uint8_t> bytes);

}  // namespace quenby
