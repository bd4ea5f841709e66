#pragma once

#include <QLineEdit>

#include "app/MainView.h"
#include "platform/ShortcutKeys.h"

namespace quenby {

// The shortcut capture field: shows a key combination and takes a new one from the next key
// pressed in it with Ctrl, Alt, Shift or Super (or none). Backspace, Delete or Esc alone empty it;
// Tab moves on as usual. The key is the physical key, named by the platform where it can (so
// AZERTY's 1/& key is 1 and a Cyrillic letter is the Latin letter of its key); where no native
// key code comes with the press, by the character Qt reports.
class CHotKeyEdit final : public QLineEdit {
public:
    explicit CHotKeyEdit(QWidget* parent = nullptr);

    HotKeyCapture HotKey() const { return m_hotKey; }
    void SetHotKey(const HotKeyCapture& hotKey);
    // Where the field asks which virtual key a native key code is; none: by Qt's key alone.
    void SetShortcutKeys(IShortcutKeys* keys) { m_pKeys = keys; }

    // The Windows virtual-key code of a Qt key; 0 when it cannot be a shortcut key.
    static std::uint16_t VirtualKeyOf(int qtKey, bool keypad);
    // The text a combination is shown as ("Ctrl + Shift + F5").
    static QString Describe(const HotKeyCapture& hotKey);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    HotKeyCapture m_hotKey;
    IShortcutKeys* m_pKeys = nullptr;
};

}  // namespace quenby
