#include "qt/HotKeyEdit.h"

#include <QKeyEvent>
#include <QKeySequence>
#include <array>
#include <utility>

namespace quenby {
namespace {

// Keys whose virtual-key code does not follow from a range, the first of each code being the
// one shown. Shifted punctuation maps to its key, as on a US keyboard.
constexpr std::array<std::pair<int, std::uint16_t>, 49> kKeys{{
    {Qt::Key_Backspace, 0x08},  {Qt::Key_Tab, 0x09},         {Qt::Key_Return, 0x0D},
    {Qt::Key_Enter, 0x0D},      {Qt::Key_Pause, 0x13},       {Qt::Key_Escape, 0x1B},
    {Qt::Key_Space, 0x20},      {Qt::Key_PageUp, 0x21},      {Qt::Key_PageDown, 0x22},
    {Qt::Key_End, 0x23},        {Qt::Key_Home, 0x24},        {Qt::Key_Left, 0x25},
    {Qt::Key_Up, 0x26},         {Qt::Key_Right, 0x27},       {Qt::Key_Down, 0x28},
    {Qt::Key_Print, 0x2C},      {Qt::Key_Insert, 0x2D},      {Qt::Key_Delete, 0x2E},
    {Qt::Key_Menu, 0x5D},       {Qt::Key_ScrollLock, 0x91},  {Qt::Key_Semicolon, 0xBA},
    {Qt::Key_Colon, 0xBA},      {Qt::Key_Equal, 0xBB},       {Qt::Key_Plus, 0xBB},
    {Qt::Key_Comma, 0xBC},      {Qt::Key_Less, 0xBC},        {Qt::Key_Minus, 0xBD},
    {Qt::Key_Underscore, 0xBD}, {Qt::Key_Period, 0xBE},      {Qt::Key_Greater, 0xBE},
    {Qt::Key_Slash, 0xBF},      {Qt::Key_Question, 0xBF},    {Qt::Key_QuoteLeft, 0xC0},
    {Qt::Key_AsciiTilde, 0xC0}, {Qt::Key_BracketLeft, 0xDB}, {Qt::Key_BraceLeft, 0xDB},
    {Qt::Key_Backslash, 0xDC},  {Qt::Key_Bar, 0xDC},         {Qt::Key_BracketRight, 0xDD},
    {Qt::Key_BraceRight, 0xDD}, {Qt::Key_Apostrophe, 0xDE},  {Qt::Key_QuoteDbl, 0xDE},
    {Qt::Key_Exclam, '1'},      {Qt::Key_At, '2'},           {Qt::Key_NumberSign, '3'},
    {Qt::Key_Dollar, '4'},      {Qt::Key_Percent, '5'},      {Qt::Key_AsciiCircum, '6'},
    {Qt::Key_Ampersand, '7'},
}};

// Keypad keys, with the keypad modifier.
constexpr std::array<std::pair<int, std::uint16_t>, 6> kKeypad{{
    {Qt::Key_Asterisk, 0x6A},
    {Qt::Key_Plus, 0x6B},
    {Qt::Key_Comma, 0x6C},
    {Qt::Key_Minus, 0x6D},
    {Qt::Key_Period, 0x6E},
    {Qt::Key_Slash, 0x6F},
}};

// The Qt key to name a virtual key by, and whether it is on the keypad.
std::pair<int, bool> QtKeyOf(std::uint16_t virtualKey) {
    if ((virtualKey >= 'A' && virtualKey <= 'Z') || (virtualKey >= '0' && virtualKey <= '9')) {
        return {virtualKey, false};
    }
    if (virtualKey >= 0x60 && virtualKey <= 0x69) {
        return {Qt::Key_0 + (virtualKey - 0x60), true};
    }
    if (virtualKey >= 0x70 && virtualKey <= 0x87) {
        return {Qt::Key_F1 + (virtualKey - 0x70), false};
    }
    for (const auto& [key, code] : kKeypad) {
        if (code == virtualKey) {
            return {key, true};
        }
    }
    for (const auto& [key, code] : kKeys) {
        if (code == virtualKey) {
            return {key, false};
        }
    }
    return {0, false};
}

}  // namespace

CHotKeyEdit::CHotKeyEdit(QWidget* parent) : QLineEdit(parent) {
    setReadOnly(true);
    setContextMenuPolicy(Qt::NoContextMenu);
    SetHotKey({});
}

std::uint16_t CHotKeyEdit::VirtualKeyOf(int qtKey, bool keypad) {
    if (keypad) {
        if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) {
            return static_cast<std::uint16_t>(0x60 + (qtKey - Qt::Key_0));
        }
        for (const auto& [key, code] : kKeypad) {
            if (key == qtKey) {
                return code;
            }
        }
    }
    if ((qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) || (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)) {
        return static_cast<std::uint16_t>(qtKey);
    }
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24) {
        return static_cast<std::uint16_t>(0x70 + (qtKey - Qt::Key_F1));
    }
    for (const auto& [key, code] : kKeys) {
        if (key == qtKey) {
            return code;
        }
    }
    return 0;
}

QString CHotKeyEdit::Describe(const HotKeyCapture& hotKey) {
    if (hotKey.m_wVirtualKey == 0) {
        return tr("None");
    }
    QString text;
    text += hotKey.m_bControl ? "Ctrl + " : "";
    text += hotKey.m_bAlt ? "Alt + " : "";
    text += hotKey.m_bShift ? "Shift + " : "";
    text += hotKey.m_bSuper ? "Super + " : "";
    const auto [key, keypad] = QtKeyOf(hotKey.m_wVirtualKey);
    const QString name = key != 0 ? QKeySequence(key).toString(QKeySequence::NativeText)
                                  : QString("Key %1").arg(hotKey.m_wVirtualKey);
    return text + (keypad ? "Num " : "") + name;
}

void CHotKeyEdit::SetHotKey(const HotKeyCapture& hotKey) {
    m_hotKey = hotKey;
    setText(Describe(hotKey));
}

void CHotKeyEdit::keyPressEvent(QKeyEvent* event) {
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    const int key = event->key();
    if (key == Qt::Key_Tab || key == Qt::Key_Backtab) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    const bool plain = (modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier |
                                     Qt::MetaModifier)) == 0;
    if (plain && (key == Qt::Key_Backspace || key == Qt::Key_Delete || key == Qt::Key_Escape)) {
        SetHotKey({});
        return;
    }
    // Qt's key is the character typed ('&', a Cyrillic letter): the key itself is in the native
    // key code, when the platform gives one (the offscreen platform does not).
    const std::uint16_t virtualKey = m_pKeys != nullptr && event->nativeScanCode() != 0
                                         ? m_pKeys->VirtualKeyOfNativeKey(event->nativeScanCode())
                                         : VirtualKeyOf(key, (modifiers & Qt::KeypadModifier) != 0);
    if (virtualKey == 0) {
        return;  // a modifier alone, or a key no shortcut can use
    }
    HotKeyCapture capture;
    capture.m_wVirtualKey = virtualKey;
    capture.m_bControl = (modifiers & Qt::ControlModifier) != 0;
    capture.m_bAlt = (modifiers & Qt::AltModifier) != 0;
    capture.m_bShift = (modifiers & Qt::ShiftModifier) != 0;
    capture.m_bSuper = (modifiers & Qt::MetaModifier) != 0;
    SetHotKey(capture);
}

}  // namespace quenby
