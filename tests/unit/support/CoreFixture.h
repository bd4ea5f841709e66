#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <string_view>

#include "app/QuenbyController.h"
#include "fakes/FakeDesktop.h"
#include "fakes/FakeMainView.h"
#include "fakes/FakeStorage.h"
#include "fakes/MemoryProfileStore.h"
#include "fakes/RecordingKeyboard.h"
#include "fakes/VirtualClock.h"
#include "input/TypingJob.h"
#include "storage/DataFileCodec.h"

namespace quenby::test {

// Lists, messages and bytes built for the cases.
inline CMessageList ListOf(const std::vector<MessageItem>& items) {
    CMessageList list;
    for (const MessageItem& item : items) {
        list.AddMessageItem(static_cast<std::int32_t>(list.GetItemCount()), item);
    }
    return list;
}

inline std::vector<MessageItem> ItemsOf(const CMessageList& list) {
    std::vector<MessageItem> items;
    for (std::size_t row = 0; row < list.GetItemCount(); ++row) {
        items.push_back(list.GetMessageItem(row));
    }
    return items;
}

inline MessageItem Item(std::u16string text, std::int32_t seconds = 0,
                        std::int32_t milliSeconds = 0, bool before = false, bool after = false,
                        std::uint32_t pcMin = 20, std::uint32_t pcMax = 60) {
    return MessageItem{std::move(text), seconds, milliSeconds, before, after, pcMin, pcMax};
}

// Random messages whose values survive the row codec unchanged (milliseconds 0-999, PC bounds in
// the int range); texts draw from every kind of code unit, line breaks only when allowed.
inline std::vector<MessageItem> RandomItems(std::mt19937& random, std::size_t count,
                                            bool allowLineBreaks) {
    static const std::u16string kSpecial = {0x0000, 0xFEFF, 0xD800, 0xDC00, 0xDBFF, 0xDFFF, 0xFFFF,
                                            0xFFFE, 0x00E9, 0x4E2D, 0x0009, 0x001A, u'\r',  u'\n'};
    auto draw = [&random](std::uint32_t below) {
        return std::uniform_int_distribution<std::uint32_t>(0, below - 1)(random);
    };
    std::vector<MessageItem> items(count);
    for (MessageItem& item : items) {
        for (std::uint32_t n = draw(41); n > 0; --n) {
            const std::uint32_t kind = draw(10);
            char16_t unit = kind == 0 ? kSpecial[draw(static_cast<std::uint32_t>(kSpecial.size()))]
                            : kind == 1 ? static_cast<char16_t>(draw(0x10000))
                                        : static_cast<char16_t>(u'a' + draw(26));
            if (!allowLineBreaks && (unit == u'\r' || unit == u'\n')) {
                unit = u'x';
            }
            item.m_strText.push_back(unit);
        }
        item.m_iSeconds = static_cast<std::int32_t>(draw(100001));
        item.m_iMilliSeconds = static_cast<std::int32_t>(draw(1000));
        item.m_bEnterBefore = draw(2) != 0;
        item.m_bEnterAfter = draw(2) != 0;
        item.m_uCharDelayMin = draw(2147483648u);
        item.m_uCharDelayMax = draw(2147483648u);
    }
    return items;
}

inline std::vector<std::uint8_t> Bytes(std::initializer_list<int> values) {
    std::vector<std::uint8_t> bytes;
    for (int v : values) {
        bytes.push_back(static_cast<std::uint8_t>(v));
    }
    return bytes;
}

// The core on a fake desktop in virtual time, for every suite that needs one: the main window
// (made at its first use), the presenters, the typer. Messages are typed synchronously (the
// keyboard records what arrived and when, texts set into controls included) unless a test asks
// for the manual typist, which holds each message "in the typing thread" until it is finished.
// A suite of real files builds it on a home of its own (`Base`) and points m_pFiles or m_pProfile
// at real stores.
template <typename Base = ::testing::Test>
class CoreFixtureOn : public Base {
protected:
    CoreFixtureOn() {
        m_textSetters.m_screen.m_onSet = [this](const std::u16string& text) {
            m_keyboard.Log("Set:" + Utf8FromUtf16(text));
        };
    }

    void UseManualTypist() { m_bManualTypist = true; }

    CQuenbyController& Controller() {
        if (!m_controller) {
            IMessageTypist& typist =
                m_bManualTypist ? static_cast<IMessageTypist&>(m_manualTypist) : m_syncTypist;
            m_controller = std::make_unique<CQuenbyController>(MainWindowServices{
                m_view, *m_pProfile, *m_pFiles, &m_protector, m_clock, m_pointer, m_shortcut,
                m_shell, typist, m_textSetters, m_runActive, m_session, &m_stopKey});
        }
        return *m_controller;
    }

    // The window starts with this command line, as a native string (wide where paths are wide).
    CQuenbyController& Start(const std::string& commandLine = "") {
        Controller().OnInitDialog(std::filesystem::path(commandLine).native());
        return *m_controller;
    }

    // The program started again: a fresh window over the same profile and files.
    CQuenbyController& Restart(const std::string& commandLine = "") {
        m_controller.reset();
        m_view = CFakeMainView{};
        return Start(commandLine);
    }

    // The file dialog returns these names in turn; then Save As runs.
    bool SaveAs(std::deque<std::filesystem::path> chosen) {
        m_view.m_files = std::move(chosen);
        return Controller().SaveDataFileAs();
    }

    // A data file in the fake file store holding these messages.
    void PutDataFile(const std::filesystem::path& path, const std::vector<MessageItem>& items) {
        Expected<std::vector<std::uint8_t>> bytes =
            EncodeDataFile(ListOf(items), DataFileFormFor(path), &m_protector);
        ASSERT_TRUE(bytes.ok());
        m_files.m_files[path] = bytes.value();
    }
    std::vector<MessageItem> FileItems(const std::filesystem::path& path) {
        Expected<CMessageList> list =
            DecodeDataFile(m_files.m_files.at(path), DataFileFormFor(path), &m_protector);
        EXPECT_TRUE(list.ok());
        return list.ok() ? ItemsOf(list.value()) : std::vector<MessageItem>{};
    }

    // Adds messages through the list as the user would (Add New, OK).
    void AddMessages(const std::vector<MessageEditorFields>& messages) {
        for (const MessageEditorFields& fields : messages) {
            m_view.m_editorScript = EditorEnters(fields);
            Controller().OnAddNew();
        }
        m_view.m_editorScript = nullptr;
    }

    void PressHotKey() { Controller().OnHotKey(); }
    void SetCount(int count) {
        m_view.m_strCount = FormatSigned(count);
        Controller().OnCountChanged();
    }
    // No run, no message timer, and the idle icon shown.
    bool Stopped() const {
        return !m_runActive.load() && !m_clock.IsArmed(TIMER_NEXT_MESSAGE) &&
               !m_view.m_runIcons.back();
    }
    void Advance(std::uint64_t milliseconds) {
        m_clock.AdvanceBy(milliseconds, [this](int id) { m_controller->OnTimer(id); });
    }
    int RunUntilIdle() {
        return m_clock.RunUntilIdle([this](int id) { m_controller->OnTimer(id); });
    }

    // The texts typed as Unicode characters, split at Enter, each with the virtual time its first
    // character arrived ("text@ms").
    std::vector<std::string> TypedMessages() const {
        std::vector<std::string> messages;
        std::string current;
        std::uint64_t began = 0;
        auto endMessage = [&] {
            if (!current.empty()) {
                messages.push_back(current + "@" + std::to_string(began));
            }
            current.clear();
        };
        for (const KeyboardRecord::Event& event : m_keyboard.m_record.m_events) {
            began = current.empty() ? event.m_time : began;
            if (event.m_name == "Enter") {
                endMessage();
            } else if (event.m_typed != 0) {
                current.push_back(static_cast<char>(event.m_typed));
            }
        }
        endMessage();
        return messages;
    }

    CFakeMainView m_view;
    CMemoryProfileStore m_profile;
    CAppSettings m_settings{m_profile};
    CMemoryFileStore m_files;
    CFakeDataProtector m_protector;
    CVirtualClock m_clock;
    CFakePointer m_pointer;
    CFakeGlobalShortcut m_shortcut;
    CFakeShellActions m_shell;
    CFakeTextSetterFactory m_textSetters;
    CRecordingKeyboard m_keyboard{&m_clock};
    std::atomic<bool> m_runActive{false};
    DesktopSession m_session;  // an X11 session with its global shortcut unless a test says
    CFakeFocusWatcher m_focus;
    CFakeStopKey m_stopKey;
    KeystrokeServices m_keystrokes{m_keyboard, m_textSetters, m_clock, m_runActive, &m_focus};
    CSynchronousTypist m_syncTypist{m_keystrokes};
    CManualTypist m_manualTypist;
    IProfileStore* m_pProfile = &m_profile;
    IFileStore* m_pFiles = &m_files;

private:
    bool m_bManualTypist = false;
    std::unique_ptr<CQuenbyController> m_controller;
};
using CoreFixture = CoreFixtureOn<>;

}  // namespace quenby::test
