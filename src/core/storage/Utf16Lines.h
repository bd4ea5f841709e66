#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace quenby {

// How a UTF-16LE line ended.
enum class ELineEnd {
    LineBreak,  // LF, or CR and the unit after it
    EndOfData,  // the data ran out first (a CR as the last unit ends this way too)
};

struct Utf16Line {
    std::u16string m_strText;
    ELineEnd m_end = ELineEnd::EndOfData;
};

// Reads one line of UTF-16LE code units starting at `offset` and moves `offset` past it. LF ends
// the line and is dropped. CR ends the line and the unit after it is taken too: dropped when it is
// LF, otherwise kept as the line's last character. A final odd byte is never part of a unit.
Utf16Line ReadUtf16Line(std::span<const std::uint8_t> bytes, std::size_t& offset);

}  // namespace quenby
