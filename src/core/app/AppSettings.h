#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "app/ProfileValues.h"

namespace quenby {

class IProfileStore;

// The delay and Enter flags proposed for a new message.
struct NewMessageDefaults {
    std::int32_t m_iSeconds = 0;
    std::int32_t m_iMilliSeconds = 0;
    bool m_bEnterBefore = false;
    bool m_bEnterAfter = false;
};

// Who asks for the new-message defaults: their fallbacks differ when nothing is stored.
enum class EDefaultsFor { MessageEditor, TextImport };

// Typed access to the profile. Holds nothing between calls: every getter reads the store afresh,
// so a value changed in one window is seen by the next reader at once. Writes of these values
// fail silently (nothing the user can do about a placement or a column width).
class CAppSettings {
public:
    explicit CAppSettings(IProfileStore& store) : m_store(store) {}
    virtual ~CAppSettings() = default;

    std::int32_t GetRememberLastPositionAndSize() const;
    void SetRememberLastPositionAndSize(std::int32_t value);
    std::int32_t GetTextSettingUp() const;
    void SetTextSettingUp(std::int32_t value);
    std::int32_t GetKeyInputMethod() const;
    void SetKeyInputMethod(std::int32_t value);
    std::int32_t GetStopOnFocusChange() const;
    void SetStopOnFocusChange(std::int32_t value);
    // The path last chosen in the Save or Load dialog; written, never read by the program.
    void SetLastFilePath(std::string_view utf8Path);

    std::int32_t GetCount() const;
    void SetCount(std::int32_t value);
    bool GetRandomOrder() const;
    void SetRandomOrder(bool value);
    // The width the user left a column at; nothing while none was stored.
    std::optional<std::int32_t> GetStoredColumnWidth(int column) const;
    void SetColumnWidth(int column, std::int32_t width);

    NewMessageDefaults GetNewMessageDefaults(EDefaultsFor reader) const;
    void SetNewMessageDefaults(const NewMessageDefaults& defaults);

    // A window placement ("Location", "Location1"); nothing when absent.
    std::optional<std::vector<std::uint8_t>> GetPlacement(std::string_view name) const;
    void SetPlacement(std::string_view name, const std::vector<std::uint8_t>& bytes);

private:
    std::int32_t ReadSettingInt(const ProfileInt& value) const;
    void WriteSettingInt(std::string_view name, std::int32_t value);

    IProfileStore& m_store;
};

}  // namespace quenby
