// A run of Quenby.exe stopped from outside: Esc at once, `Quenby.exe --stop` / `--toggle`, another
// window taking the focus (as the setting says), and a run started while Quenby's own window is
// in front types nothing into it.
#include <gtest/gtest.h>
#include <windows.h>
// The list view messages need the declarations of windows.h first.
#include <commctrl.h>

#include "program/ProgramFixture.h"

namespace quenby::test {
namespace {

class ProgramStop : public CProgramTest {
protected:
    // Starts Quenby on a list whose run types "x" at once and then waits a minute for its next
    // message, and opens the peer's window, in front, for the "x".
    std::unique_ptr<PeerEdits> StartWithWaitingRun(std::int32_t stopOnFocusChange = 1) {
        StoreShortcut(1, {{"m_bStopOnFocusChange", stopOnFocusChange}});
        if (!Start(
                WriteDataFile(L"waiting.quenbydata",
                              {Plain(u"x"), MessageItem{u"later", 60, 0, false, false, 0, 0}}))) {
            return nullptr;
        }
        return PeerEdits::Open();
    }
    // The run has started: its first message is out, and it waits for the next.
    static bool Started(const PeerEdits& peer) {
        std::wstring held;
        return peer.WaitForEditableText(L"x", held);
    }
    // Quenby takes Esc from the other programs for exactly as long as a run is active. Asked only
    // with no run starting: held for a moment here, Esc could not be taken by a run starting.
    static bool EscTaken() {
        const bool free = ::RegisterHotKey(nullptr, 7, 0, VK_ESCAPE) != FALSE;
        ::UnregisterHotKey(nullptr, 7);
        return !free;
    }
};

// Waits until the fields have held the same text for a while (typing has ended) and returns
// their lengths then.
std::vector<std::size_t> SettledLengths(const std::vector<HWND>& fields) {
    std::vector<std::size_t> lengths;
    auto since = std::chrono::steady_clock::now();
    PumpUntil([&] {
        std::vector<std::size_t> now;
        for (HWND field : fields) {
            now.push_back(ControlText(field).size());
        }
        if (now != lengths) {
            lengths = now;
            since = std::chrono::steady_clock::now();
        }
        return std::chrono::steady_clock::now() - since > std::chrono::milliseconds(800);
    });
    return lengths;
}

TEST_F(ProgramStop, EscStopsTheRunAtOnceAndIsGivenBackAfterIt) {
    StoreShortcut(1);
    // 50 ms before each of 300 characters: 15 s if nothing stops it.
    ASSERT_TRUE(Start(WriteDataFile(L"esc.quenbydata", {Plain(std::u16string(300, u'e'), 0, 50)})));
    std::unique_ptr<PeerEdits> recorder = PeerEdits::Open();
    ASSERT_TRUE(recorder);
    ASSERT_TRUE(Press());
    ASSERT_TRUE(PumpUntil([&] { return ControlText(recorder->m_editable).size() >= 5; }));
    const std::size_t before = ControlText(recorder->m_editable).size();
    SendKeys({{VK_ESCAPE, true}, {VK_ESCAPE, false}});
    const std::size_t after = SettledLengths({recorder->m_editable})[0];
    // 100 ms are two pauses, and one character may be on its way.
    EXPECT_LE(after, before + 3) << "typing went on after Esc";
    EXPECT_LT(after, 300u);
    EXPECT_EQ(::GetAsyncKeyState(VK_ESCAPE) & 0x8000, 0);
    EXPECT_EQ(::GetAsyncKeyState(VK_SHIFT) & 0x8000, 0);
    // Once the run is over, Esc belongs to the applications again.
    EXPECT_TRUE(PumpUntil([] { return !EscTaken(); })) << "Esc still taken after the run";
    EXPECT_EQ(Close(), DWORD{0});
}

TEST_F(ProgramStop, QuenbyExeStopAndToggleActOnTheRunAndSayWhetherOneWasActive) {
    // No Quenby to ask: each ends at once without starting one.
    for (const wchar_t* option : {L"--stop", L"--toggle"}) {
        EXPECT_EQ(StartAgain(option), DWORD{1}) << "with no Quenby running";
    }
    const std::unique_ptr<PeerEdits> peer = StartWithWaitingRun();
    ASSERT_TRUE(peer);
    EXPECT_EQ(StartAgain(L"--stop"), DWORD{1}) << "with no run active";
    EXPECT_EQ(StartAgain(L"--toggle"), DWORD{0});
    ASSERT_TRUE(Started(*peer)) << "--toggle did not start the run";
    ASSERT_TRUE(EscTaken());
    EXPECT_EQ(StartAgain(L" --stop "), DWORD{0}) << "with a run waiting for its next message";
    EXPECT_TRUE(PumpUntil([] { return !EscTaken(); })) << "the run went on";
    EXPECT_EQ(StartAgain(L"--stop"), DWORD{1}) << "after the run stopped";
    // Started again by the shortcut, the run is stopped by --toggle as by a second press.
    ASSERT_TRUE(Press());
    ASSERT_TRUE(PumpUntil([&] { return ControlText(peer->m_editable) == L"xx"; }));
    ASSERT_TRUE(EscTaken());
    EXPECT_EQ(StartAgain(L"--toggle"), DWORD{0});
    EXPECT_TRUE(PumpUntil([] { return !EscTaken(); })) << "--toggle did not stop the run";
    EXPECT_EQ(ControlText(peer->m_editable), L"xx");
    // None of the starts opened anything in the running Quenby (such as a file named "--stop").
    EXPECT_EQ(WaitForDialog(L"", std::chrono::milliseconds(0)), nullptr);
    EXPECT_EQ(Close(), DWORD{0});
}

TEST_F(ProgramStop, AnotherWindowTakingTheFocusStopsTheRunOnlyWhenSet) {
    for (const std::int32_t stopOnFocusChange : {1, 0}) {
        SCOPED_TRACE(stopOnFocusChange);
        StoreShortcut(1, {{"m_bStopOnFocusChange", stopOnFocusChange}});
        // 50 ms before each of 80 characters: 4 s.
        const std::u16string text(80, u'f');
        ASSERT_TRUE(Start(WriteDataFile(L"focus.quenbydata", {Plain(text, 0, 50)})));
        std::unique_ptr<PeerEdits> first = PeerEdits::Open();
        ASSERT_TRUE(first);
        ASSERT_TRUE(Press());
        ASSERT_TRUE(PumpUntil([&] { return ControlText(first->m_editable).size() >= 5; }));
        std::unique_ptr<PeerEdits> second = PeerEdits::Open();  // comes to the front
        ASSERT_TRUE(second);
        const std::vector<std::size_t> lengths =
            SettledLengths({first->m_editable, second->m_editable});
        if (stopOnFocusChange != 0) {
            EXPECT_LE(lengths[1], 1u) << "the other window got the text";
            EXPECT_LT(lengths[0] + lengths[1], text.size()) << "the run went on";
        } else {
            EXPECT_GT(lengths[1], 0u) << "the run stopped";
            EXPECT_EQ(lengths[0] + lengths[1], text.size());
        }
        EXPECT_EQ(Close(), DWORD{0});
    }
}

TEST_F(ProgramStop, ARunStartedWhileQuenbyIsInFrontTypesNothingIntoIt) {
    StoreShortcut(1);
    // Typed into the main window, "d" is the mnemonic of Delete Selected, and Enter presses the
    // default button.
    const std::filesystem::path data = WriteDataFile(
        L"own.quenbydata", {MessageItem{u"good day", 0, 0, false, true, 0, 0}, Plain(u"second")});
    ASSERT_TRUE(Start(data));
    HWND list = ::GetDlgItem(m_main, kListId);
    ::PostMessageW(list, WM_KEYDOWN, VK_HOME, 0);  // the first row selected
    ::SetForegroundWindow(m_main);
    ASSERT_TRUE(PumpUntil([&] { return ::GetForegroundWindow() == m_main; }));
    ASSERT_TRUE(Press());
    // Nothing to wait for when nothing happens: long enough for the run to have typed it all.
    PumpUntil([] { return false; }, std::chrono::milliseconds(2000));
    EXPECT_EQ(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 2) << "a row was deleted";
    std::string held;
    EXPECT_TRUE(WaitForDataFile(data, u"good day@0.0|second@0.0|", held)) << held;
    EXPECT_EQ(WaitForDialog(L"", std::chrono::milliseconds(200)), nullptr) << "a dialog opened";
    EXPECT_EQ(Close(), DWORD{0});
}

TEST_F(ProgramStop, StopNowHeadsTheTrayMenuWhileARunIsActive) {
    // The focus rule is off: the click brings Quenby to the front, which would stop the run too.
    const std::unique_ptr<PeerEdits> peer = StartWithWaitingRun(0);
    ASSERT_TRUE(peer);
    HWND icon = TrayIconWindow();
    if (icon == nullptr) {
        GTEST_SKIP() << "no window of the notification icon to click (only Wine has one)";
    }
    ASSERT_TRUE(Press());
    ASSERT_TRUE(Started(*peer));
    ASSERT_TRUE(EscTaken());
    // The first item stops the run at once (Configure... would leave it waiting).
    ASSERT_TRUE(ChooseFirstTrayMenuItem(icon));
    EXPECT_TRUE(PumpUntil([] { return !EscTaken(); })) << "the first item was not Stop Now";
    EXPECT_EQ(ControlText(peer->m_editable), L"x");
    EXPECT_EQ(Close(), DWORD{0});
}

}  // namespace
}  // namespace quenby::test
