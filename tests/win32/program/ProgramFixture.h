#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/Commands.h"
#include "engine/HotKeyProfile.h"
#include "engine/MessageList.h"
#include "engine/WideText.h"
#include "storage/DataFile.h"
#include "support/Win32TestSupport.h"
#include "win32/DpapiDataProtector.h"
#include "win32/RegistryProfileStore.h"
#include "win32/Win32FileStore.h"

namespace quenby::test {

// The caption of the program's message boxes and notices.
inline constexpr wchar_t kTitle[] = L"Quenby by Holvane";

// Controls of the main window, the message editor and the settings dialog that app/Commands.h
// does not name.
inline constexpr int kListId = 1000;
inline constexpr int kCountId = 1009;
inline constexpr int kTextId = 1002;
inline constexpr int kSecondsId = 1003;
inline constexpr int kMilliSecondsId = 1004;
inline constexpr int kCharDelayMinId = 1022;
inline constexpr int kRememberPositionId = 1013;
inline constexpr int kSetTextId = 1018;
inline constexpr int kStopOnFocusChangeId = 1024;

// Presses a button of a window of another process the way a click does, without waiting for
// what it opens (a modal dialog would block a sent message).
inline void ClickButton(HWND dialog, int id) {
    ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)));
}

// Clicks the button of the dialog and waits until the dialog has closed.
inline bool CloseWith(HWND dialog, int button) {
    ClickButton(dialog, button);
    return PumpUntil([dialog] { return !::IsWindow(dialog); });
}

// The text of a message box: its static control 0xFFFF.
inline std::wstring MessageBoxText(HWND box) {
    return ControlText(::GetDlgItem(box, 0xFFFF));
}

// Keys pressed (true) and let go through SendInput, one event at a time, as a hand does.
inline void SendKeys(std::initializer_list<std::pair<WORD, bool>> keys) {
    for (const auto& [key, down] : keys) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = key;
        input.ki.wScan = static_cast<WORD>(::MapVirtualKeyW(key, MAPVK_VK_TO_VSC));
        input.ki.dwFlags = down ? 0u : static_cast<DWORD>(KEYEVENTF_KEYUP);
        ::SendInput(1, &input, sizeof input);
    }
}

// The popup menu on the screen, if any.
inline HWND VisibleMenu() {
    HWND menu = nullptr;
    while ((menu = ::FindWindowExW(nullptr, menu, L"#32768", nullptr)) != nullptr) {
        if (::IsWindowVisible(menu)) {
            return menu;
        }
    }
    return nullptr;
}

// Opens the tray icon's menu as a right click does and chooses its first item from the keyboard
// (the keys posted to the menu). The click goes to the window Wine draws the icon in, which passes
// it on as the icon's own message, as a mouse click would.
inline bool ChooseFirstTrayMenuItem(HWND icon) {
    ::PostMessageW(icon, WM_RBUTTONUP, 0, MAKELPARAM(1, 1));
    HWND menu = nullptr;
    PumpUntil([&] { return (menu = VisibleMenu()) != nullptr; });
    if (menu == nullptr) {
        ADD_FAILURE() << "no menu";
        return false;
    }
    for (WPARAM key : {VK_DOWN, VK_RETURN}) {
        ::PostMessageW(menu, WM_KEYDOWN, key, 0);
        ::PostMessageW(menu, WM_KEYUP, key, 0xC0000000);
    }
    if (!PumpUntil([] { return VisibleMenu() == nullptr; })) {
        ADD_FAILURE() << "the menu took no choice";
        return false;
    }
    return true;
}

// A message typed as it is: no Enter before or after, no pause between characters.
inline MessageItem Plain(std::u16string text, std::int32_t milliSeconds = 0,
                         std::uint32_t charDelay = 0) {
    return MessageItem{std::move(text), 0, milliSeconds, false, false, charDelay, charDelay};
}

// Quenby.exe as a user meets it: its profile (the program's own registry key, emptied before and
// after each test, which run one at a time) and a folder of data files of the test's own, with a
// blank in its name as user folders often have.
class CProgramTest : public testing::Test {
protected:
    CProgramTest() {
        ::RegDeleteTreeW(HKEY_CURRENT_USER, CRegistryProfileStore::ApplicationKey().c_str());
        std::filesystem::create_directories(m_folder);
    }
    ~CProgramTest() override {
        m_quenby.reset();
        ::RegDeleteTreeW(HKEY_CURRENT_USER, CRegistryProfileStore::ApplicationKey().c_str());
        std::error_code ignored;
        std::filesystem::remove_all(m_folder, ignored);
    }

    // Writes the messages to a data file of the folder (plain or partly encrypted by the name).
    std::filesystem::path WriteDataFile(const std::wstring& name,
                                        const std::vector<MessageItem>& messages) {
        CMessageList list;
        for (const MessageItem& message : messages) {
            list.AddMessageItem(static_cast<std::int32_t>(list.GetItemCount()), message);
        }
        EXPECT_TRUE(CDataFile(m_files, &m_protector).WriteDataFile(m_folder / name, list).ok());
        return m_folder / name;
    }
    Expected<CMessageList> ReadDataFile(const std::filesystem::path& path) {
        return CDataFile(m_files, &m_protector).ReadDataFile(path);
    }
    // Waits until the data file holds these messages, each as "text@seconds.milliseconds|";
    // false (with what it held, in UTF-8) otherwise.
    bool WaitForDataFile(const std::filesystem::path& path, const std::u16string& expected,
                         std::string& held) {
        std::u16string described;
        const bool found = PumpUntil([&] {
            const Expected<CMessageList> list = ReadDataFile(path);
            described = list.ok() ? u"" : u"<unreadable>";
            for (std::size_t row = 0; list.ok() && row < list.value().GetItemCount(); ++row) {
                const MessageItem item = list.value().GetMessageItem(row);
                described += item.m_strText + u"@" +
                             Utf16FromUtf8(std::to_string(item.m_iSeconds) + "." +
                                           std::to_string(item.m_iMilliSeconds)) +
                             u"|";
            }
            return described == expected;
        });
        held = Utf8FromUtf16(described);
        return found;
    }
    // Starts the program with the data file (quoted) and waits for its main window, the one with
    // the list of messages and the shortcut.
    bool Start(const std::filesystem::path& dataFile = {}) {
        m_quenby = CProcess::Start(QUENBY_PROGRAM_RELATIVE,
                                   dataFile.empty() ? L"" : L"\"" + dataFile.wstring() + L"\"");
        m_main = m_quenby ? m_quenby->WaitForWindow([](HWND window) {
            return ::GetDlgItem(window, 1000) != nullptr && ::GetDlgItem(window, 1005) != nullptr;
        })
                          : nullptr;
        return m_main != nullptr;
    }
    // Ctrl+Alt+F9 as the profile keeps it, Unicode events, the run `count` times through the list,
    // then the other settings given.
    void StoreShortcut(std::int32_t count,
                       std::initializer_list<std::pair<const char*, std::int32_t>> settings = {}) {
        CHotKeyProfile(m_profile).StoreHotKey(kStartStopHotKeyName, VK_F9,
                                              CONTROL_FLAG_CONTROL | CONTROL_FLAG_ALT);
        m_profile.WriteInt(kProfileSection, "m_iKeyInputMethod", 0);
        m_profile.WriteInt(kProfileSection, "m_iCount", count);
        for (const auto& [name, value] : settings) {
            m_profile.WriteInt(kProfileSection, name, value);
        }
    }
    // Presses the stored shortcut in another process.
    static bool Press() { return PressInAnotherProcess(VK_F9, MOD_CONTROL | MOD_ALT); }
    // Another start of Quenby.exe with the arguments; its exit code, or nothing while it runs on.
    static std::optional<DWORD> StartAgain(const std::wstring& arguments) {
        const std::unique_ptr<CProcess> later = CProcess::Start(QUENBY_PROGRAM_RELATIVE, arguments);
        return later ? later->WaitForExit() : std::nullopt;
    }
    // A visible window of the program other than the main window whose caption starts with the
    // text, waited for; null at the deadline.
    HWND WaitForDialog(const std::wstring& captionStart,
                       std::chrono::milliseconds deadline = kDeadline) const {
        return m_quenby->WaitForWindow(
            [&](HWND window) {
                return window != m_main && ControlText(window).starts_with(captionStart);
            },
            deadline);
    }
    // The window the notification icon is drawn in, to click: Wine draws each icon in a window of
    // its own (in a tray window of its own when the X display has no tray to dock into, as
    // here). Null where there is none (Windows itself): a click cannot be posted there.
    static HWND TrayIconWindow() {
        HWND icon = nullptr;
        PumpUntil([&icon] {
            icon = ::FindWindowExW(::FindWindowW(L"__winex11_standalone_tray", nullptr), nullptr,
                                   L"__winex11_tray_icon", nullptr);
            return icon != nullptr;
        });
        return icon;
    }
    // Closes the main window as its close box does; the exit code, or nothing while it runs on.
    std::optional<DWORD> Close() {
        ::PostMessageW(m_main, WM_CLOSE, 0, 0);
        return m_quenby->WaitForExit();
    }

    CRegistryProfileStore m_profile{CRegistryProfileStore::ApplicationKey()};
    std::unique_ptr<CProcess> m_quenby;
    HWND m_main = nullptr;

private:
    const std::filesystem::path m_folder =
        std::filesystem::temp_directory_path() /
        (L"quenby program " + std::to_wstring(::GetCurrentProcessId()) + L"-" +
         std::to_wstring(::GetTickCount64()));
    CWin32FileStore m_files;
    CDpapiDataProtector m_protector;
};

}  // namespace quenby::test
