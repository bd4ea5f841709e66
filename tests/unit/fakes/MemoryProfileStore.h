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
        auto it = m_ints.find(Key(section, name));
        return it == m_ints.end() ? defaultValue : it->second;
    }
    bool WriteInt(std::string_view section, std::string_view name, std::int32_t value) override {
        if (!Allow(section, name)) {
            return false;
        }
        m_ints[Key(section, name)] = value;
        return true;
    }
    std::optional<std::string> GetString(std::string_view section, std::string_view name) override {
        auto it = m_strings.find(Key(section, name));
        return it == m_strings.end() ? std::nullopt : std::optional<std::string>(it->second);
    }
    bool WriteString(std::string_view section, std::string_view name,
                     std::string_view value) override {
        if (!Allow(section, name)) {
            return false;
        }
        m_strings[Key(section, name)] = std::string(value);
        return true;
    }
    std::optional<std::vector<std::uint8_t>> GetBinary(std::string_view section,
                                                       std::string_view name) override {
        auto it = m_binaries.find(Key(section, name));
        return it == m_binaries.end() ? std::nullopt
                                      : std::optional<std::vector<std::uint8_t>>(it->second);
    }
    bool WriteBinary(std::string_view section, std::string_view name,
                     const std::vector<std::uint8_t>& bytes) override {
        if (!Allow(section, name)) {
            return false;
        }
        m_binaries[Key(section, name)] = bytes;
        return true;
    }

    void RefuseWritesOf(std::string name) { m_refused.insert(std::move(name)); }
    bool HasInt(std::string_view section, std::string_view name) const {
        return m_ints.count(Key(section, name)) != 0;
    }
    bool Empty() const { return m_ints.empty() && m_strings.empty() && m_binaries.empty(); }
    // "Section/Name" of every write attempt, refused ones included.
    const std::vector<std::string>& WriteLog() const { return m_writeLog; }

private:
    static std::string Key(std::string_view section, std::string_view name) {
        return std::string(section) + "/" + std::string(name);
    }
    bool Allow(std::string_view section, std::string_view name) {
        m_writeLog.push_back(Key(section, name));
        return m_refused.count(std::string(name)) == 0;
    }

    std::map<std::string, std::int32_t> m_ints;
    std::map<std::string, std::string> m_strings;
    std::map<std::string, std::vector<std::uint8_t>> m_binaries;
    std::set<std::string> m_refused;
    std::vector<std::string> m_writeLog;
};

}  // namespace quenby::test
