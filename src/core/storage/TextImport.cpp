#include "storage/TextImport.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string_view>

#include "engine/WideText.h"
#include "storage/Utf16Lines.h"

namespace quenby {
namespace {

constexpr std::array<std::uint8_t, 2> kUtf16Mark = {0xFF, 0xFE};
constexpr std::array<std::uint8_t, 3> kUtf8Mark = {0xEF, 0xBB, 0xBF};

template <std::size_t N>
bool StartsWith(std::span<const std::uint8_t> bytes, const std::array<std::uint8_t, N>& mark) {
    return bytes.size() >= mark.size() && std::equal(mark.begin(), mark.end(), bytes.begin());
}

// A line as UTF-8 where it is valid UTF-8 throughout; otherwise each byte as the code point of
// the same value, so that no byte of an older 8-bit file is lost.
std::u16string DecodeLine(std::span<const std::uint8_t> bytes) {
    const std::string_view narrow(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (std::optional<std::u16string> text = Utf16FromValidUtf8(narrow)) {
        return std::move(*text);
    }
    return std::u16string(bytes.begin(), bytes.end());
}

std::vector<std::u16string> ReadUtf16Lines(std::span<const std::uint8_t> bytes) {
    std::vector<std::u16string> lines;
    std::size_t offset = 0;
    // A read at the end that yields no unit at all ends the file, so a final break adds no line.
    while (offset + 1 < bytes.size()) {
        lines.push_back(ReadUtf16Line(bytes, offset).m_strText);
    }
    return lines;
}

}  // namespace

std::vector<std::u16string> ReadSimpleTextLines(std::span<const std::uint8_t> bytes) {
    if (StartsWith(bytes, kUtf16Mark)) {
        return ReadUtf16Lines(bytes.subspan(kUtf16Mark.size()));
    }
    if (StartsWith(bytes, kUtf8Mark)) {
        bytes = bytes.subspan(kUtf8Mark.size());
    }
    constexpr std::uint8_t kEndOfFile = 0x1A;
    std::vector<std::u16string> lines;
    std::size_t begin = 0;
    std::size_t i = 0;
    for (; i < bytes.size() && bytes[i] != kEndOfFile; ++i) {
        const std::uint8_t byte = bytes[i];
        if (byte == '\n' || (byte == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')) {
            lines.push_back(DecodeLine(bytes.subspan(begin, i - begin)));
            if (byte == '\r') {
                ++i;  // CR LF reads as LF
            }
            begin = i + 1;
        }
    }
    if (i > begin) {
        lines.push_back(DecodeLine(bytes.subspan(begin, i - begin)));
    }
    return lines;
}

std::vector<std::u16string> ReadUnicodeTextLines(std::span<const std::uint8_t> bytes) {
    if (StartsWith(bytes, kUtf16Mark)) {
        bytes = bytes.subspan(kUtf16Mark.size());
    }
    return ReadUtf16Lines(bytes);
}

}  // namespace quenby
