#include "storage/DataFilePath.h"

#include <type_traits>

#include "engine/WideText.h"

namespace quenby {
namespace {

using NativeString = std::filesystem::path::string_type;
using NativeChar = NativeString::value_type;

NativeString Widen(const char* ascii) {
    NativeString out;
    for (; *ascii != '\0'; ++ascii) {
        out.push_back(static_cast<NativeChar>(*ascii));
    }
    return out;
}

bool IsSeparator(NativeChar c) {
    return c == static_cast<NativeChar>('/') ||
           c == static_cast<NativeChar>(std::filesystem::path::preferred_separator);
}

// A template, so only the branch of this platform's path character is compiled: UTF-8 bytes on
// POSIX, UTF-16 units on Windows.
template <typename Char>
std::u16string DisplayTextOf(const std::basic_string<Char>& native) {
    if constexpr (std::is_same_v<Char, char>) {
        return Utf16FromUtf8(native);
    } else {
        return std::u16string(native.begin(), native.end());
    }
}

}  // namespace

EDataFileForm DataFileFormFor(const std::filesystem::path& path) {
    static const NativeString kMarker = Widen(".quenbyencrypteddata");
    return path.native().find(kMarker) != NativeString::npos ? EDataFileForm::Protected
                                                             : EDataFileForm::Plain;
}

NativeString FindExtension(const std::filesystem::path& path) {
    const NativeString& text = path.native();
    std::size_t lastDot = NativeString::npos;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == static_cast<NativeChar>('.')) {
            lastDot = i;
        } else if (text[i] == static_cast<NativeChar>(' ') || IsSeparator(text[i])) {
            lastDot = NativeString::npos;
        }
    }
    return lastDot == NativeString::npos ? NativeString{} : text.substr(lastDot);
}

NativeString FindFileName(const std::filesystem::path& path) {
    const NativeString& text = path.native();
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        // A trailing separator does not start an empty name.
        if (IsSeparator(text[i]) && i + 1 < text.size()) {
            start = i + 1;
        }
    }
    return text.substr(start);
}

bool ExtensionWarnsOfEncryption(const std::filesystem::path& path) {
    static const NativeString kWord = Widen("encrypted");
    return FindExtension(path).find(kWord) != NativeString::npos;
}

std::u16string DisplayText(const NativeString& native) {
    return DisplayTextOf(native);
}

}  // namespace quenby
