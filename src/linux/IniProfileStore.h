#pragma once

#include <filesystem>

#include "platform/ProfileStore.h"

namespace quenby {

// The profile as an INI file (GLib's key file format). Every read loads the file afresh and never
// writes; every write loads, changes one value and saves atomically, creating the folder and the
// file when needed. A file that cannot be parsed reads as empty; the first write then keeps it
// beside the new one as "<name>.unreadable" instead of overwriting it.
class CIniProfileStore final : public IProfileStore {
public:
    explicit CIniProfileStore(std::filesystem::path file) : m_file(std::move(file)) {}

    const std::filesystem::path& FilePath() const { return m_file; }

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
    std::optional<std::string> ReadRaw(std::string_view section, std::string_view name) const;
    bool WriteRaw(std::string_view section, std::string_view name, std::string_view text);

    std::filesystem::path m_file;
};

}  // namespace quenby
