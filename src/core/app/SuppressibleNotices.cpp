#include "app/SuppressibleNotices.h"

#include "platform/ProfileStore.h"

namespace quenby {
namespace {

// Apart from the settings, so that clearing one section does not touch the other.
constexpr std::string_view kNoticeSection = "DontShowAgain";

}  // namespace

bool CSuppressibleNotices::IsSuppressed(std::string_view identifier) const {
    return m_store.GetInt(kNoticeSection, identifier, 0) != 0;
}

void CSuppressibleNotices::Suppress(std::string_view identifier) {
    (void)m_store.WriteInt(kNoticeSection, identifier, 1);
}

}  // namespace quenby
