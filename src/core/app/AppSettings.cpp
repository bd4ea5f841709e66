#include "app/AppSettings.h"

#include <climits>

#include "platform/ProfileStore.h"

namespace quenby {

std::int32_t CAppSettings::ReadSettingInt(const ProfileInt& value) const {
    return m_store.GetInt(kProfileSection, value.m_strName, value.m_iDefault);
}

void CAppSettings::WriteSettingInt(std::string_view name, std::int32_t value) {
    (void)m_store.WriteInt(kProfileSection, name, value);
}

std::int32_t CAppSettings::GetRememberLastPositionAndSize() const {
    return ReadSettingInt(profile::RememberLastPositionAndSize);
}

void CAppSettings::SetRememberLastPositionAndSize(std::int32_t value) {
    WriteSettingInt(profile::RememberLastPositionAndSize.m_strName, value);
}

std::int32_t CAppSettings::GetTextSettingUp() const {
    return ReadSettingInt(profile::TextSettingUp);
}

void CAppSettings::SetTextSettingUp(std::int32_t value) {
    WriteSettingInt(profile::TextSettingUp.m_strName, value);
}

std::int32_t CAppSettings::GetKeyInputMethod() const {
    return ReadSettingInt(profile::KeyInputMethod);
}

void CAppSettings::SetKeyInputMethod(std::int32_t value) {
    WriteSettingInt(profile::KeyInputMethod.m_strName, value);
}

std::int32_t CAppSettings::GetStopOnFocusChange() const {
    return ReadSettingInt(profile::StopOnFocusChange);
}

void CAppSettings::SetStopOnFocusChange(std::int32_t value) {
    WriteSettingInt(profile::StopOnFocusChange.m_strName, value);
}

void CAppSettings::SetLastFilePath(std::string_view utf8Path) {
    (void)m_store.WriteString(kProfileSection, profile::LastFilePath, utf8Path);
}

std::int32_t CAppSettings::GetCount() const {
    return ReadSettingInt(profile::Count);
}

void CAppSettings::SetCount(std::int32_t value) {
    WriteSettingInt(profile::Count.m_strName, value);
}

bool CAppSettings::GetRandomOrder() const {
    return ReadSettingInt(profile::RandomOrder) != 0;
}

void CAppSettings::SetRandomOrder(bool value) {
    WriteSettingInt(profile::RandomOrder.m_strName, value ? 1 : 0);
}

std::optional<std::int32_t> CAppSettings::GetStoredColumnWidth(int column) const {
    const std::string_view name =
        profile::ColumnWidths.at(static_cast<std::size_t>(column)).m_strName;
    // The store answers with the caller's default when a value is absent: a value that is both
    // defaults at once cannot have been stored.
    const std::int32_t low = m_store.GetInt(kProfileSection, name, INT32_MIN);
    if (low != INT32_MIN || m_store.GetInt(kProfileSection, name, INT32_MAX) == INT32_MIN) {
        return low;
    }
    return std::nullopt;
}

void CAppSettings::SetColumnWidth(int column, std::int32_t width) {
    WriteSettingInt(profile::ColumnWidths.at(static_cast<std::size_t>(column)).m_strName, width);
}

NewMessageDefaults CAppSettings::GetNewMessageDefaults(EDefaultsFor reader) const {
    const bool forImport = reader == EDefaultsFor::TextImport;
    auto withFallback = [&](const ProfileInt& value) {
        return forImport ? ProfileInt{value.m_strName, profile::kImportEnterDefault} : value;
    };
    NewMessageDefaults defaults;
    defaults.m_iSeconds = ReadSettingInt(profile::NewSeconds);
    defaults.m_iMilliSeconds = ReadSettingInt(profile::NewMilliSeconds);
    defaults.m_bEnterBefore = ReadSettingInt(withFallback(profile::EnterBeforeTyping)) != 0;
    defaults.m_bEnterAfter = ReadSettingInt(withFallback(profile::EnterAfterTyping)) != 0;
    return defaults;
}

void CAppSettings::SetNewMessageDefaults(const NewMessageDefaults& defaults) {
    WriteSettingInt(profile::NewSeconds.m_strName, defaults.m_iSeconds);
    WriteSettingInt(profile::NewMilliSeconds.m_strName, defaults.m_iMilliSeconds);
    WriteSettingInt(profile::EnterBeforeTyping.m_strName, defaults.m_bEnterBefore ? 1 : 0);
    WriteSettingInt(profile::EnterAfterTyping.m_strName, defaults.m_bEnterAfter ? 1 : 0);
}

std::optional<std::vector<std::uint8_t>> CAppSettings::GetPlacement(std::string_view name) const {
    return m_store.GetBinary(kProfileSection, name);
}

void CAppSettings::SetPlacement(std::string_view name, const std::vector<std::uint8_t>& bytes) {
    (void)m_store.WriteBinary(kProfileSection, name, bytes);
}

}  // namespace quenby
