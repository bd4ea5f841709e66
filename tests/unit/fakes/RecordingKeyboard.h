#pragma once

#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "fakes/VirtualClock.h"
#include "platform/Keyboard.h"

namespace quenby::test {

// A small German-like layout: letters and digits on keys named by their upper-case character,
// capitals and '!' with Shift, '@' and the euro sign with AltGr, '|' with Ctrl+Alt, an arrow on
// the fifth level, space, tab and Return. Everything else (Cyrillic, CJK, emoji) is missing.
class CFakeLayout final : public IKeyboardLayout {
public:
    explicit CFakeLayout(int& unloads) : m_unloads(unloads) {}
    ~CFakeLayout() override { ++m_unloads; }

    std::optional<KeyForCharacter> FindKey(char16_t unit) override {
        if (unit >= u'a' && unit <= u'z') {
            return KeyForCharacter{static_cast<KeyCode>(unit - u'a' + 'A'), 0};
        }
        if ((unit >= u'A' && unit <= u'Z') || (unit >= u'0' && unit <= u'9')) {
            return KeyForCharacter{
                unit, unit <= u'9' ? std::uint8_t{0} : std::uint8_t{KEY_MODIFIER_SHIFT}};
        }
        static const std::map<char16_t, KeyForCharacter> kOthers = {
            {u'!', {'1', KEY_MODIFIER_SHIFT}},
            {u'@', {'Q', KEY_MODIFIER_LEVEL3}},
            {u'\u20ac', {'E', KEY_MODIFIER_LEVEL3}},
            {u'|', {'<', KEY_MODIFIER_CONTROL | KEY_MODIFIER_ALT}},
            {u'\u2192', {'V', KEY_MODIFIER_LEVEL5}},
            {u' ', {' ', 0}},
            {u'\t', {'\t', 0}},
            {u'\r', {'\r', 0}},
            {u'\n', {'\r', 0}}};
        const auto found = kOthers.find(unit);
        return found != kOthers.end() ? std::optional(found->second) : std::nullopt;
    }
    KeyCode ModifierKey(EKeyModifier modifier) override { return 1000u + modifier; }

private:
    int& m_unloads;
};

// Everything the fake keyboard saw, readable as one line: "+LShift +A -A -LShift Enter Beep
// U+0041v U+0041^ ...", each event at the virtual time it happened when a clock is attached.
struct KeyboardRecord {
    struct Event {
        std::uint64_t m_time;
        std::string m_name;
        char16_t m_typed;  // the code unit a Unicode press typed, 0 for any other event
    };
    std::vector<Event> m_events;
    int m_iLayoutLoads = 0;
    int m_iLayoutUnloads = 0;
    int m_iBeginText = 0;
    int m_iEndText = 0;

    std::string Line() const {
        std::string line;
        for (const Event& event : m_events) {
            line += (line.empty() ? "" : " ") + event.m_name;
        }
        return line;
    }
};

// Opens recording outputs; can be made to fail as a display that went away would.
class CRecordingKeyboard final : public IKeyboard {
public:
    explicit CRecordingKeyboard(CVirtualClock* clock = nullptr) : m_clock(clock) {}

    Expected<std::unique_ptr<IKeyboardOutput>> OpenOutput() override {
        if (m_bFailOpen) {
            return Status::Fail(u"Cannot open display \":99\".");
        }
        return std::unique_ptr<IKeyboardOutput>(std::make_unique<COutput>(*this));
    }
    // Also for what reaches the application by other ways (text set into a control).
    void Log(std::string name, char16_t typed = 0) {
        m_record.m_events.push_back({m_clock != nullptr ? m_clock->Now() : 0, name, typed});
        if (m_onEvent) {
            m_onEvent(name);
        }
    }

    KeyboardRecord m_record;
    bool m_bFailOpen = false;
    // Once set, every output says keys no longer reach the system, for this reason.
    std::u16string m_strSendFailure;
    // Called after every event, as what other threads do while a key is sent.
    std::function<void(const std::string&)> m_onEvent;

private:
    class COutput final : public IKeyboardOutput {
    public:
        explicit COutput(CRecordingKeyboard& keyboard) : m_keyboard(keyboard) {}
        void BeginUnicodeText(std::u16string_view) override { ++m_keyboard.m_record.m_iBeginText; }
        void EndUnicodeText() override { ++m_keyboard.m_record.m_iEndText; }
        void SendKey(KeyCode key, bool down) override {
            static const std::map<KeyCode, std::string> kNames = {
                {1000 + KEY_MODIFIER_SHIFT, "LShift"},
                {1000 + KEY_MODIFIER_CONTROL, "LCtrl"},
                {1000 + KEY_MODIFIER_ALT, "LAlt"},
                {1000 + KEY_MODIFIER_LEVEL3, "AltGr"},
                {1000 + KEY_MODIFIER_LEVEL5, "Level5"},
                {'\t', "Tab"},
                {'\r', "Return"},
                {' ', "Space"}};
            const auto name = kNames.find(key);
            m_keyboard.Log((down ? "+" : "-") + (name != kNames.end()
                                                     ? name->second
                                                     : std::string(1, static_cast<char>(key))));
        }
        void SendUnicodeUnit(char16_t unit, bool down) override {
            char text[16];
            std::snprintf(text, sizeof text, "U+%04X%s", unsigned{unit}, down ? "v" : "^");
            m_keyboard.Log(text, down ? unit : u'\0');
        }
        void PressEnter() override { m_keyboard.Log("Enter"); }
        void Beep() override { m_keyboard.Log("Beep"); }
        Status SendStatus() override {
            return m_keyboard.m_strSendFailure.empty() ? Status::Ok()
                                                       : Status::Fail(m_keyboard.m_strSendFailure);
        }
        std::unique_ptr<IKeyboardLayout> LoadCurrentLayout() override {
            ++m_keyboard.m_record.m_iLayoutLoads;
            return std::make_unique<CFakeLayout>(m_keyboard.m_record.m_iLayoutUnloads);
        }

    private:
        CRecordingKeyboard& m_keyboard;
    };

    CVirtualClock* m_clock;
};

}  // namespace quenby::test
