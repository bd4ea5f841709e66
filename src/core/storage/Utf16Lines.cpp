#include "storage/Utf16Lines.h"

namespace quenby {
namespace {

constexpr char16_t kCr = 0x0D;
constexpr char16_t kLf = 0x0A;

char16_t UnitAt(std::span<const std::uint8_t> bytes, std::size_t offset) {
    return static_cast<char16_t>(bytes[offset] | (bytes[offset + 1] << 8));
}

}  // namespace

Utf16Line ReadUtf16Line(std::span<const std::uint8_t> bytes, std::size_t& offset) {
    Utf16Line line;
    const std::size_t wholeUnitsEnd = bytes.size() & ~std::size_t{1};
    // Find the end of the text first so the string is built in one allocation.
    std::size_t end = offset;
    while (end < wholeUnitsEnd) {
        const char16_t unit = UnitAt(bytes, end);
        if (unit == kLf || unit == kCr) {
            break;
        }
        end += 2;
    }
    line.m_strText.resize((end - offset) / 2);
    for (std::size_t i = 0; i < line.m_strText.size(); ++i) {
        line.m_strText[i] = UnitAt(bytes, offset + 2 * i);
    }
    offset = end;
    if (offset >= wholeUnitsEnd) {
        return line;  // ELineEnd::EndOfData
    }
    const char16_t breakUnit = UnitAt(bytes, offset);
    offset += 2;
    if (breakUnit == kCr) {
        if (offset >= wholeUnitsEnd) {
            return line;  // a CR whose partner is missing: the data was cut
        }
        const char16_t after = UnitAt(bytes, offset);
        offset += 2;
        if (after != kLf) {
            line.m_strText.push_back(after);
        }
    }
    line.m_end = ELineEnd::LineBreak;
    return line;
}

}  // namespace quenby
