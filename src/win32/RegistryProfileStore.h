#pragma once

#include <string>

#include "platform/ProfileStore.h"

namespace quenby {

// The profile in the registry under HKEY_CURRENT_USER\<application key>\<section>, in the types a
// registry profile has always used: integers as REG_DWORD, strings as REG_SZ, bytes as
// REG_BINARY. A value of another type reads as absent. Every read goes to the registry afresh.
class CRegistryProfileStore final : public IProfileStore {
public:
    // `applicationKey` is relative to HKEY_CURRENT_USER, e.g. Software\<vendor>\<title>.
    explicit CRegistryProfileStore(std::wstring applicationKey)
        : m_applicationKey(std::move(applicationKey)) {}
    // Software\<vendor key>\<application title>: where this program keeps its profile.
    static std::wstring ApplicationKey();

    std::int32_t GetInt(std::string_view section, std::string_view name,
                        std::int32_t defaultValue) override;
    bool WriteInt(std::string_view section, std::string_view name, std::int32_t value) override;
    std::optional<std::string> GetString(std::string_view section, std::string_view name) override;
    bool WriteString(std::string_view section, std::string_view name,
                     std::string_view value) override;
    std::optional<std::vector<std::uint8_t>> GetBinary(std::string_view section,
                                                       std::string_view name) override;
    bool WriteBinary(std::string_view section, std::string_view name,
                     const std::vector<std::uint8_t>& bytes) override;

private:
    std::wstring SectionKey(std::string_view section) const;
    std::optional<std::vector<std::uint8_t>> Read(std::string_view section, std::string_view name,
                                                  unsigned long typeFlag) const;
    bool Write(std::string_view section, std::string_view name, unsigned long type,
               const void* data, std::size_t size);

    std::wstring m_applicationKey;
};

}  // namespace quenby
