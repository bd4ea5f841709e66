#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "app/QuenbyController.h"
#include "fakes/FakeDataProtector.h"
#include "fakes/FakeDesktop.h"
#include "fakes/FakeMainView.h"
#include "fakes/MemoryFileStore.h"
#include "fakes/MemoryProfileStore.h"
#include "fakes/RecordingKeyboard.h"
#include "fakes/VirtualClock.h"
#include "input/TypingJob.h"
#include "support/ListBuilders.h"

namespace quenby::test {

// UTF-8 text as a native path string (wide where paths are wide), for command lines.
inline std::filesystem::path::string_type NativeText(std::string_view utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end())).native();
}

// The main window's behaviour with every service faked and time virtual. Messages are typed
// synchronously (the keyboard records what arrived and when) unless a test asks for the manual
// typist, which holds each message "in the typing thread" until the test finishes it.
class ControllerFixture : public ::testing::Test {
protected:
    void UseManualTypist() { m_bManualTypist = true; }

    CQuenbyController& Controller() {
        if (!m_controller) {
            IMessageTypist& typist =
                m_bManualTypist ? static_cast<IMessageTypist&>(m_manualTypist) : m_syncTypist;
            m_controller = std::make_unique<CQuenbyController>(MainWindowServices{
                m_view, m_profile, m_files, &m_protector, m_clock, m_pointer, m_shortcut, m_shell,
                typist, m_textSetters, m_runActive, m_session});
        }
        return *m_controller;
    }

    // Creates and initialises the window with this command line.
    CQuenbyController& Start(const std::string& commandLine = "") {
        Controller().OnInitDialog(NativeText(commandLine));
        return *m_controller;
    }

    // A fresh window over the same profile and services, with no files, for table cases.
    CQuenbyController& Restart() {
        m_controller.reset();
        m_view = CFakeMainView{};
        m_files.m_files.clear();
        return Start();
    }

    // A data file in the fake file store holding these messages.
    void PutDataFile(const std::filesystem::path& path, const std::vector<MessageItem>& items) {
        CMessageList list = ListOf(items);
        Expected<std::vector<std::uint8_t>> bytes =
            EncodeDataFile(list, DataFileFormFor(path), &m_protector);
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
    void Advance(std::uint64_t milliseconds) {
        m_clock.AdvanceBy(milliseconds, [this](int id) { m_controller->OnTimer(id); });
    }
    int RunUntilIdle() {
        return m_clock.RunUntilIdle([this](int id) { m_controller->OnTimer(id); });
    }

    // The texts typed, message by message, with the virtual time each began ("text@ms").
    std::vector<std::string> TypedMessages() const {
        std::vector<std::string> messages;
        std::string current;
        std::uint64_t began = 0;
        for (const auto& [time, event] : m_keyboard.m_record.m_timeline) {
            if (event == "Enter") {
                if (!current.empty()) {
                    messages.push_back(current + "@" + std::to_string(began));
                }
                current.clear();
            } else if (event.size() > 6 && event.back() == 'v') {
                if (current.empty()) {
                    began = time;
                }
                current.push_back(static_cast<char>(std::stoul(event.substr(2, 4), nullptr, 16)));
            }
        }
        if (!current.empty()) {
            messages.push_back(current + "@" + std::to_string(began));
        }
        return messages;
    }

    CFakeMainView m_view;
    CMemoryProfileStore m_profile;
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
    CSynchronousTypist m_syncTypist{
        KeystrokeServices{m_keyboard, m_textSetters, m_clock, m_runActive}};
    CManualTypist m_manualTypist;

private:
    bool m_bManualTypist = false;
    std::unique_ptr<CQuenbyController> m_controller;
};

}  // namespace quenby::test
