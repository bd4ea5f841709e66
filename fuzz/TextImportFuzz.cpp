// Both text-import readers on any bytes: no crash, and what they return keeps their line rules.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "storage/TextImport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    // A UTF-16 byte-order mark makes the 8-bit import read the file exactly as the UTF-16 one.
    const bool utf16 = size >= 2 && data[0] == 0xFF && data[1] == 0xFE;
    if (utf16 && quenby::ReadSimpleTextLines(bytes) != quenby::ReadUnicodeTextLines(bytes)) {
        std::abort();
    }
    std::size_t characters = 0;
    for (const std::u16string& line : utf16 ? std::vector<std::u16string>{}
                                            : quenby::ReadSimpleTextLines(bytes)) {
        // LF always ends a line, and 0x1A ends the file: neither is ever inside a line.
        if (line.find(u'\n') != std::u16string::npos ||
            line.find(u'\x1a') != std::u16string::npos) {
            std::abort();
        }
        characters += line.size() + 1;
    }
    if (characters > size + 1) {
        std::abort();
    }
    std::size_t units = 0;
    for (const std::u16string& line : quenby::ReadUnicodeTextLines(bytes)) {
        units += line.size();
    }
    if (units > size / 2) {
        std::abort();
    }
    return 0;
}
