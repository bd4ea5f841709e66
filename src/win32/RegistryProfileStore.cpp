#include "win32/RegistryProfileStore.h"

#include <windows.h>

#include <cstring>

#include "app/ProfileValues.h"
#include "win32/Win32Text.h"

namespace quenby {

std::wstring CRegistryProfileStore::ApplicationKey() {
    return L"Software\\" + WideFromUtf8(kVendorKey) + L"\\" + WideFromUtf16(kAppTitle);
}

std::wstring CRegistryProfileStore::SectionKey(std::string_view section) const {
    return m_applicationKey + L"\\" + WideFromUtf8(section);
}

std::optional<std::vector<std::uint8_t>> CRegistryProfileStore::Read(std::string_view section,
                                                                     std::string_view name,
                                                                     unsigned long typeFlag) const {
    const std::wstring key = SectionKey(section);
    const std::wstring value = WideFromUtf8(name);
    // The value may change between the size query and the read: ask again until it fits.
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD size = 0;
        if (::RegGetValueW(HKEY_CURRENT_USER, key.c_str(), value.c_str(), typeFlag, nullptr,
                           nullptr, &size) != ERROR_SUCCESS) {
            return std::nullopt;
        }
        std::vector<std::uint8_t> data(size);
        const LONG result = ::RegGetValueW(HKEY_CURRENT_USER, key.c_str(), value.c_str(), typeFlag,
                                           nullptr, data.data(), &size);
        if (result == ERROR_SUCCESS) {
            data.resize(size);
            return data;
        }
        if (result != ERROR_MORE_DATA) {
            return std::nullopt;
        }
    }
    return std::nullopt;
}

bool CRegistryProfileStore::Write(std::string_view section, std::string_view name,
                                  unsigned long type, const void* data, std::size_t size) {
    HKEY key = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, SectionKey(section).c_str(), 0, nullptr, 0,
                          KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const LONG result = ::RegSetValueExW(key, WideFromUtf8(name).c_str(), 0, type,
                                         static_cast<const BYTE*>(data), static_cast<DWORD>(size));
    ::RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

std::int32_t CRegistryProfileStore::GetInt(std::string_view section, std::string_view name,
                                           std::int32_t defaultValue) {
    const std::optional<std::vector<std::uint8_t>> data = Read(section, name, RRF_RT_REG_DWORD);
    if (!data || data->size() != sizeof(DWORD)) {
        return defaultValue;
    }
    std::int32_t value = 0;
    std::memcpy(&value, data->data(), sizeof value);
    return value;
}

bool CRegistryProfileStore::WriteInt(std::string_view section, std::string_view name,
                                     std::int32_t value) {
    const auto dword = static_cast<DWORD>(value);
    return Write(section, name, REG_DWORD, &dword, sizeof dword);
}

std::optional<std::string> CRegistryProfileStore::GetString(std::string_view section,
                                                            std::string_view name) {
    const std::optional<std::vector<std::uint8_t>> data = Read(section, name, RRF_RT_REG_SZ);
    if (!data) {
        return std::nullopt;
    }
    std::wstring text(data->size() / sizeof(wchar_t), L'\0');
    std::memcpy(text.data(), data->data(), text.size() * sizeof(wchar_t));
    // RegGetValueW hands the string back with its terminator.
    if (const std::size_t end = text.find(L'\0'); end != std::wstring::npos) {
        text.resize(end);
    }
    return Utf8FromWide(text);
}

bool CRegistryProfileStore::WriteString(std::string_view section, std::string_view name,
                                        std::string_view value) {
    const std::wstring text = WideFromUtf8(value);
    return Write(section, name, REG_SZ, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
}

std::optional<std::vector<std::uint8_t>> CRegistryProfileStore::GetBinary(std::string_view section,
                                                                          std::string_view name) {
    return Read(section, name, RRF_RT_REG_BINARY);
}

bool CRegistryProfileStore::WriteBinary(std::string_view section, std::string_view name,
                                        const std::vector<std::uint8_t>& bytes) {
    return Write(section, name, REG_BINARY, bytes.data(), bytes.size());
}

}  // namespace quenby
