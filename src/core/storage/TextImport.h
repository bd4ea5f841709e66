#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace quenby {

// The lines of an 8-bit text file: a line that is valid UTF-8 is decoded as UTF-8, any other
// line byte by byte to the code points of the same values; CR LF becomes LF, LF ends a line and
// is dropped, a lone CR stays in the text, 0x1A ends the file, and a final line break does not
// make an empty last line. A UTF-8 byte-order mark is dropped; a file that starts with the
// UTF-16LE one is read as UTF-16LE text.
std::vector<std::u16string> ReadSimpleTextLines(std::span<const std::uint8_t> bytes);

// The lines of a UTF-16LE text file, by the plain data file's line rule. A byte-order mark is
// dropped (it would be typed as an invisible character) and a final odd byte is ignored.
std::vector<std::u16string> ReadUnicodeTextLines(std::span<const std::uint8_t> bytes);

}  // namespace quenby
