// Both text-import readers on any bytes: no crash, and what they return keeps their line rules.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "storage/TextImport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    std::size_t characters = 0;
    for (const std::u16string& line : quenby::ReadSimpleTextLines(bytes)) {
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
