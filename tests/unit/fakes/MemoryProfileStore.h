#pragma once

#include <map>
#include <set>
#include <string>

#include "platform/ProfileStore.h"

namespace quenby::test {

// A profile in memory. Values keep their kind; a name can be made to refuse writes, and every
// write attempt is logged in order.
class CMemoryProfileStore final : public IProfileStore {
public:
    std::int32_t GetInt(std::string_view section, std::string_view name,
                        std::int32_t defaultValue) override {
        return Find(m_ints, section, name).value_or(defaultValue);
    }
    bool WriteInt(std::string_view section, std::string_view name, std::int32_t value) override {
        return Write(m_ints, section, name, value);
    }
    std::optional<std::string> GetString(std::string_view section, std::string_view name) override {
        return Find(m_strings, section, name);
    }
    bool WriteString(std::string_view section, std::string_view name,
                     std::string_view value) override {
        return Write(m_strings, section, name, std::string(value));
    }
    std::optional<std::vector<std::uint8_t>> GetBinary(std::string_view section,
                                                       std::string_view name) override {
        return Find(m_binaries, section, name);
    }
    bool WriteBinary(std::string_view section, std::string_view name,
                     const std::vector<std::uint8_t>& bytes) override {
        return Write(m_binaries, section, name, bytes);
    }

    void RefuseWritesOf(std::string name) { m_refused.insert(std::move(name)); }
    // "Section/Name" of every write attempt, refused ones included.
    const std::vector<std::string>& WriteLog() const { return m_writeLog; }

private:
    static std::string Key(std::string_view section, std::string_view name) {
        return std::string(section) + "/" + std::string(name);
    }
    template <typename T>
    static std::optional<T> Find(const std::map<std::string, T>& values, std::string_view section,
                                 std::string_view name) {
        auto it = values.find(Key(section, name));
        return it == values.end() ? std::nullopt : std::optional<T>(it->second);
    }
    template <typename T>
    bool Write(std::map<std::string, T>& values, std::string_view section, std::string_view name,
               T value) {
        m_writeLog.push_back(Key(section, name));
        if (m_refused.count(std::string(name)) != 0) {
            return false;
        }
        values[Key(section, name)] = std::move(value);
        return true;
    }

    std::map<std::string, std::int32_t> m_ints;
    std::map<std::string, std::string> m_strings;
    std::map<std::string, std::vector<std::uint8_t>> m_binaries;
    std::set<std::string> m_refused;
    std::vector<std::string> m_writeLog;
};

}  // namespace quenby::test
