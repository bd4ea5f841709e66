#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/WideText.h"
#include "fakes/VirtualClock.h"
#include "platform/Keyboard.h"

namespace quenby::test {

// Modifier keys of the fake layout.
inline constexpr KeyCode kFakeShift = 1001;
inline constexpr KeyCode kFakeControl = 1002;
inline constexpr KeyCode kFakeAlt = 1004;
inline constexpr KeyCode kFakeAltGr = 1008;
inline constexpr KeyCode kFakeLevel5 = 1016;

// A small German-like layout: letters and digits on keys named by their upper-case character,
// capitals and '!' with Shift, '@' and the euro sign with AltGr, '|' with Ctrl+Alt, space, tab
// and Return. Everything else (Cyrillic, CJK, emoji) is missing.
class CFakeLayout final : public IKeyboardLayout {
public:
    explicit CFakeLayout(int& unloads) : m_unloads(unloads) {}
    ~CFakeLayout() override { ++m_unloads; }

    std::optional<KeyForCharacter> FindKey(char16_t unit) override {
        if (unit >= u'a' && unit <= u'z') {
            return KeyForCharacter{static_cast<KeyCode>(unit - u'a' + 'A'), 0};
        }
        if ((unit >= u'A' && unit <= u'Z') || (unit >= u'0' && unit <= u'9')) {
            const std::uint8_t shift =
                unit <= u'9' ? std::uint8_t{0} : std::uint8_t{KEY_MODIFIER_SHIFT};
            return KeyForCharacter{unit, shift};
        }
        switch (unit) {
            case u'!':
                return KeyForCharacter{'1', KEY_MODIFIER_SHIFT};
            case u'@':
                return KeyForCharacter{'Q', KEY_MODIFIER_LEVEL3};
            case u'\u20ac':
                return KeyForCharacter{'E', KEY_MODIFIER_LEVEL3};
            case u'|':
                return KeyForCharacter{'<', KEY_MODIFIER_CONTROL | KEY_MODIFIER_ALT};
            case u' ':
                return KeyForCharacter{' ', 0};
            case u'\t':
                return KeyForCharacter{'\t', 0};
            case u'\r':
            case u'\n':
                return KeyForCharacter{'\r', 0};
            default:
                return std::nullopt;
        }
    }
    KeyCode ModifierKey(EKeyModifier modifier) override { return 1000u + modifier; }

private:
    int& m_unloads;
};

// Everything the fake keyboard saw, as one readable line: "+LShift +A -A -LShift Enter Beep
// U+0041v U+0041^ ..." and, when a clock is attached, what was typed at which virtual time.
struct KeyboardRecord {
    std::vector<std::string> m_events;
    std::u16string m_strTyped;  // the characters that reached the "application", in order
    std::vector<std::pair<std::uint64_t, std::string>> m_timeline;  // (time, event)
    int m_iOpened = 0;
    int m_iLayoutLoads = 0;
    int m_iLayoutUnloads = 0;
    int m_iBeginText = 0;
    int m_iEndText = 0;
    std::vector<std::uint8_t> m_heldModifiers;  // modifiers down at each character key press

    std::string Line() const {
        std::string line;
        for (const std::string& event : m_events) {
            line += (line.empty() ? "" : " ") + event;
        }
        return line;
    }
};

class CRecordingKeyboardOutput final : public IKeyboardOutput {
public:
    CRecordingKeyboardOutput(KeyboardRecord& record, CVirtualClock* clock)
        : m_record(record), m_clock(clock) {}

    void BeginUnicodeText(std::u16string_view) override { ++m_record.m_iBeginText; }
    void EndUnicodeText() override { ++m_record.m_iEndText; }
    void SendKey(KeyCode key, bool down) override {
        if (key > 1000 && key < 1100) {
            m_held =
                static_cast<std::uint8_t>(down ? m_held | (key - 1000) : m_held & ~(key - 1000));
        } else if (down) {
            m_record.m_heldModifiers.push_back(m_held);
        }
        Log(std::string(down ? "+" : "-") + KeyName(key));
    }
    void SendUnicodeUnit(char16_t unit, bool down) override {
        char text[16];
        std::snprintf(text, sizeof text, "U+%04X%s", unsigned{unit}, down ? "v" : "^");
        if (down) {
            m_record.m_strTyped.push_back(unit);
        }
        Log(text);
    }
    void PressEnter() override { Log("Enter"); }
    void Beep() override { Log("Beep"); }
    std::unique_ptr<IKeyboardLayout> LoadCurrentLayout() override {
        ++m_record.m_iLayoutLoads;
        return std::make_unique<CFakeLayout>(m_record.m_iLayoutUnloads);
    }

private:
    static std::string KeyName(KeyCode key) {
        switch (key) {
            case kFakeShift:
                return "LShift";
            case kFakeControl:
                return "LCtrl";
            case kFakeAlt:
                return "LAlt";
            case kFakeAltGr:
                return "AltGr";
            case kFakeLevel5:
                return "Level5";
            case '\t':
                return "Tab";
            case '\r':
                return "Return";
            case ' ':
                return "Space";
            default:
                return std::string(1, static_cast<char>(key));
        }
    }
    void Log(std::string event) {
        if (m_clock != nullptr) {
            m_record.m_timeline.emplace_back(m_clock->Now(), event);
        }
        m_record.m_events.push_back(std::move(event));
    }

    KeyboardRecord& m_record;
    CVirtualClock* m_clock;
    std::uint8_t m_held = 0;
};

// Opens recording outputs; can be made to fail as a display that went away would.
class CRecordingKeyboard final : public IKeyboard {
public:
    explicit CRecordingKeyboard(CVirtualClock* clock = nullptr) : m_clock(clock) {}

    Expected<std::unique_ptr<IKeyboardOutput>> OpenOutput() override {
        if (m_bFailOpen) {
            return Status::Fail(u"Cannot open display \":99\".");
        }
        ++m_record.m_iOpened;
        return std::unique_ptr<IKeyboardOutput>(
            std::make_unique<CRecordingKeyboardOutput>(m_record, m_clock));
    }

    KeyboardRecord m_record;
    bool m_bFailOpen = false;

private:
    CVirtualClock* m_clock;
};

}  // namespace quenby::test
