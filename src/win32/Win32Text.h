#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace quenby {

// Win32's wchar_t is UTF-16, as the core's char16_t: the conversions are copies.
std::wstring WideFromUtf16(std::u16string_view text);
std::u16string Utf16FromWide(std::wstring_view text);
// For the profile's UTF-8 names and values.
std::wstring WideFromUtf8(std::string_view utf8);
std::string Utf8FromWide(std::wstring_view wide);
// The system's words for an error code, for messages to the user.
std::u16string ErrorText(DWORD error);

}  // namespace quenby
