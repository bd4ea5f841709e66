#pragma once

#include <string_view>

namespace quenby {

class IProfileStore;

// Notices the user has asked not to see again, remembered in the profile by identifier.
class CSuppressibleNotices {
public:
    explicit CSuppressibleNotices(IProfileStore& store) : m_store(store) {}

    bool IsSuppressed(std::string_view identifier) const;
    void Suppress(std::string_view identifier);

private:
    IProfileStore& m_store;
};

}  // namespace quenby
