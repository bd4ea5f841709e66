#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quenby {

// Every persisted setting lives in this one section of the profile.
inline constexpr std::string_view kProfileSection = "Settings";

// The per-user profile: named values in sections. An absent or unreadable value reads as the
// caller's default, and reading never writes the default back.
class IProfileStore {
public:
    virtual ~IProfileStore() = default;

    // The stored integer, or the default when absent or not an integer.
    virtual std::int32_t GetInt(std::string_view section, std::string_view name,
                                std::int32_t defaultValue) = 0;
    // Stores an integer, creating what is needed; false when it could not be stored.
    virtual bool WriteInt(std::string_view section, std::string_view name, std::int32_t value) = 0;
    // The stored string (UTF-8), or nothing when absent.
    virtual std::optional<std::string> GetString(std::string_view section,
                                                 std::string_view name) = 0;
    // Stores a string (UTF-8); false when it could not be stored.
    virtual bool WriteString(std::string_view section, std::string_view name,
                             std::string_view value) = 0;
    // The stored bytes, or nothing when absent or unreadable.
    virtual std::optional<std::vector<std::uint8_t>> GetBinary(std::string_view section,
                                                               std::string_view name) = 0;
    // Stores bytes; false when they could not be stored.
    virtual bool WriteBinary(std::string_view section, std::string_view name,
                             const std::vector<std::uint8_t>& bytes) = 0;
};

}  // namespace quenby
