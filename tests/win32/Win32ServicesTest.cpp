// The services as a Windows shell wires them to the controller: a typing run started by the
// shortcut pressed in another process, timed by window timers, typed on the typing thread into
// another process's control, and reported back to this (the UI) thread.
#include <gtest/gtest.h>

#include "engine/HotKeyProfile.h"
#include "fakes/FakeMainView.h"
#include "support/Win32TestSupport.h"
#include "win32/Win32Services.h"

namespace quenby {
namespace {

using test::CPeerEdits;
using test::CPeerProcess;

// A profile key of the test's own, removed on every way out.
struct ProfileKey {
    ~ProfileKey() { ::RegDeleteTreeW(HKEY_CURRENT_USER, m_key.c_str()); }
    const std::wstring m_key = L"Software\\Holvane\\QuenbyTest-" +
                               std::to_wstring(::GetCurrentProcessId()) + L"-" +
                               std::to_wstring(::GetTickCount64());
};

TEST(Win32Services, TheShortcutStartsARunThatTypesOrSetsIntoAnotherProcess) {
    // The check mark is not on the US layout: typed by that layout it would be skipped, so only
    // set-text (at the pointer's place when the run starts) gives the whole text that way.
    const struct {
        const char* what;
        std::int32_t method;
        std::int32_t setText;
    } cases[] = {
        {"typed by Unicode events", 0, 0},
        {"set through accessibility from the typing thread", 1, 1},
    };
    for (const auto& c : cases) {
        const ProfileKey key;
        CWin32Services services(key.m_key);
        // Ctrl+Alt+F9 as the profile keeps it.
        CHotKeyProfile(services.Profile())
            .StoreHotKey(kStartStopHotKeyName, VK_F9, CONTROL_FLAG_CONTROL | CONTROL_FLAG_ALT);
        services.Profile().WriteInt(kProfileSection, "m_iKeyInputMethod", c.method);
        services.Profile().WriteInt(kProfileSection, "TextSettingUp", c.setText);

        test::CFakeMainView view;
        std::atomic<bool> runActive{false};
        CQuenbyController* controller = nullptr;
        CWin32Services::Window window = services.MakeWindowServices(
            [&](int id) { controller->OnTimer(id); }, [&] { controller->OnHotKey(); }, runActive);
        CQuenbyController quenby(services.ForController(view, window, runActive));
        controller = &quenby;
        quenby.OnInitDialog({});
        view.m_editorScript =
            test::EditorEnters(test::Fields(u"wired \u2713", 0, 200, false, false, 0, 0));
        quenby.OnAddNew();
        view.m_strCount = u"1";
        quenby.OnCountChanged();

        std::unique_ptr<CPeerEdits> peer = CPeerEdits::Open();
        ASSERT_TRUE(peer) << c.what;
        const ScreenPoint over = test::CentreOf(peer->Editable());
        ASSERT_TRUE(::SetCursorPos(over.m_x, over.m_y)) << c.what;
        std::unique_ptr<CPeerProcess> presser = CPeerProcess::Start(
            L"press " + std::to_wstring(VK_F9) + L" " + std::to_wstring(MOD_CONTROL | MOD_ALT),
            false);
        ASSERT_TRUE(presser) << c.what;
        ASSERT_TRUE(test::PumpUntil([&] { return runActive.load(); }))
            << c.what << ": the run did not start";
        std::wstring typed;
        EXPECT_TRUE(peer->WaitForEditableText(L"wired \u2713", typed))
            << c.what << ": " << testing::PrintToString(typed);
        EXPECT_TRUE(test::PumpUntil([&] { return !runActive.load(); }))
            << c.what << ": the run did not end";
        EXPECT_TRUE(view.m_messages.empty()) << c.what << ": a message box was shown";
    }
}

}  // namespace
}  // namespace quenby
