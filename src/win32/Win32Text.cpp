#include "win32/Win32Text.h"

#include "engine/WideText.h"

namespace quenby {

std::wstring WideFromUtf16(std::u16string_view text) {
    return std::wstring(text.begin(), text.end());
}

std::u16string Utf16FromWide(std::wstring_view text) {
    return std::u16string(text.begin(), text.end());
}

std::wstring WideFromUtf8(std::string_view utf8) {
    return WideFromUtf16(Utf16FromUtf8(utf8));
}

std::string Utf8FromWide(std::wstring_view wide) {
    return Utf8FromUtf16(Utf16FromWide(wide));
}

std::u16string ErrorText(DWORD error) {
    wchar_t* buffer = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text = length > 0 ? std::wstring(buffer, length) : std::wstring();
    ::LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) {
        text.pop_back();
    }
    if (text.empty()) {
        text = L"error " + std::to_wstring(error);
    }
    return Utf16FromWide(text);
}

}  // namespace quenby
