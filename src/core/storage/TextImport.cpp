#include "storage/TextImport.h"

#include "storage/Utf16Lines.h"

namespace quenby {

std::vector<std::u16string> ReadSimpleTextLines(std::span<const std::uint8_t> bytes) {
    constexpr std::uint8_t kEndOfFile = 0x1A;
    std::vector<std::u16string> lines;
    std::u16string line;
    bool lineOpen = false;  // something of the current line has been read
    for (std::size_t i = 0; i < bytes.size() && bytes[i] != kEndOfFile; ++i) {
        const std::uint8_t byte = bytes[i];
        if (byte == '\n' || (byte == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')) {
            if (byte == '\r') {
                ++i;  // CR LF reads as LF
            }
            lines.push_back(std::move(line));
            line.clear();
            lineOpen = false;
            continue;
        }
        line.push_back(static_cast<char16_t>(byte));
        lineOpen = true;
    }
    if (lineOpen) {
        lines.push_back(std::move(line));
    }
    return lines;
}

std::vector<std::u16string> ReadUnicodeTextLines(std::span<const std::uint8_t> bytes) {
    std::vector<std::u16string> lines;
    std::size_t offset = 0;
    // A read at the end that yields no unit at all ends the file, so a final break adds no line.
    while (offset + 1 < bytes.size()) {
        lines.push_back(ReadUtf16Line(bytes, offset).m_strText);
    }
    return lines;
}

}  // namespace quenby
