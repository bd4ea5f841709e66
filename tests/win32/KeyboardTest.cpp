// Typing into an EDIT control of another process through SendInput by the keyboard layout, as
// the core's typer drives it on the typing thread. The program tests type by Unicode events.
#include <gtest/gtest.h>

#include <atomic>
#include <span>
#include <vector>

#include "input/TypingJob.h"
#include "support/Win32TestSupport.h"
#include "win32/ForegroundLayout.h"
#include "win32/KeySequences.h"
#include "win32/TextSetterFactory.h"
#include "win32/Win32Services.h"
#include "win32/Win32Typist.h"

namespace quenby {
namespace {

using test::PeerEdits;

// Types the job through the typist the program uses (its own thread, the report posted back)
// and waits for the report on this thread; `send` is what takes the key events.
Status TypeJob(TypingJob job, CInputBatch::SendFunction send = &SendInputEvents) {
    CSendInputKeyboard keyboard(std::move(send));
    CWin32TextSetterFactory textSetters;
    CWin32Sleeper sleeper(keyboard);
    std::atomic<bool> runActive{true};
    CWin32Typist typist(KeystrokeServices{keyboard, textSetters, sleeper, runActive}, keyboard);
    std::optional<Status> result;
    DWORD reportedOn = 0;
    typist.TypeMessage(std::move(job), [&](TypingResult typed) {
        reportedOn = ::GetCurrentThreadId();
        result = std::move(typed.m_status);
    });
    EXPECT_TRUE(test::PumpUntil([&] { return result.has_value(); })) << "no report";
    EXPECT_EQ(reportedOn, ::GetCurrentThreadId()) << "the report must arrive on the UI thread";
    return result.value_or(Status::Fail(u"no report"));
}

// Types the text by the layout method, 0 to 2 ms before each character.
Status TypeThroughTypist(std::u16string text) {
    TypingJob job;
    job.m_strText = std::move(text);
    job.m_iKeyInputMethod = 1;
    job.m_uCharDelayMin = 0;
    job.m_uCharDelayMax = 2;
    return TypeJob(std::move(job));
}

void ExpectNoKeyDown() {
    for (int key : {VK_SHIFT, VK_CONTROL, VK_MENU, VK_RETURN, int{'A'}, int{'D'}, int{'F'}}) {
        EXPECT_EQ(::GetAsyncKeyState(key) & 0x8000, 0) << "key " << key << " left down";
    }
}

// Waits for what the peer's field holds once a key pressed now has arrived after it.
std::wstring TextBeforeAKeyPressedNow(const PeerEdits& peer) {
    EXPECT_TRUE(test::PressInAnotherProcess('Z', 0));
    std::wstring typed;
    EXPECT_TRUE(test::PumpUntil([&] {
        typed = test::ControlText(peer.m_editable);
        return typed.ends_with(L'z');
    }));
    return typed.substr(0, typed.empty() ? 0 : typed.size() - 1);
}

// Types the text into the peer, which comes to hold `expected`, every modifier that was pressed
// released again.
void ExpectTyped(const PeerEdits& peer, std::u16string text, const std::wstring& expected) {
    ASSERT_TRUE(TypeThroughTypist(std::move(text)).ok());
    std::wstring typed;
    EXPECT_TRUE(peer.WaitForEditableText(expected, typed)) << testing::PrintToString(typed);
    ExpectNoKeyDown();
}

TEST(Win32Keyboard, EachCharacterGoesOutInOneCallAndWithoutPausesManyShareOne) {
    const struct {
        const char* what;
        std::int32_t method;
        std::uint32_t pause;
        std::u16string text;
        std::vector<std::size_t> eventsPerCall;
    } cases[] = {
        // Enter before and after, each down and up with its scan code; Shift with its key; no
        // pause between the last character and Enter.
        {"by the layout, with pauses", 1, 1, u"aBc", {2, 2, 4, 4}},
        {"by Unicode events, with pauses", 0, 1, u"xy", {2, 2, 2, 2}},
        // 300 characters and two Enter presses: 604 events, cut between characters, and the
        // Unicode text goes out whole before Enter.
        {"by Unicode events, no pause",
         0,
         0,
         std::u16string(300, u'u'),
         {64, 64, 64, 64, 64, 64, 64, 64, 64, 26, 2}},
        {"by the layout, no pause", 1, 0, u"aBc", {12}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::unique_ptr<PeerEdits> peer = PeerEdits::Open();
        ASSERT_TRUE(peer);
        std::vector<std::size_t> eventsPerCall;
        std::vector<INPUT> events;
        TypingJob job;
        job.m_strText = c.text;
        job.m_iKeyInputMethod = c.method;
        job.m_uCharDelayMin = job.m_uCharDelayMax = c.pause;
        job.m_bEnterBefore = job.m_bEnterAfter = true;
        ASSERT_TRUE(TypeJob(std::move(job), [&](std::span<INPUT> batch) {
                        eventsPerCall.push_back(batch.size());
                        events.insert(events.end(), batch.begin(), batch.end());
                        return SendInputEvents(batch);
                    }).ok());
        EXPECT_EQ(eventsPerCall, c.eventsPerCall);
        // The single-line field takes no Enter: the text arrives as it is.
        std::wstring typed;
        EXPECT_TRUE(peer->WaitForEditableText(std::wstring(c.text.begin(), c.text.end()), typed))
            << testing::PrintToString(typed);
        ASSERT_GE(events.size(), 4u);
        for (const INPUT& enter : {events[0], events[1], events.end()[-2], events.end()[-1]}) {
            EXPECT_EQ(enter.ki.wVk, VK_RETURN);
            EXPECT_EQ(enter.ki.wScan, 0x1C) << "Enter without its scan code";
            EXPECT_EQ(enter.ki.dwFlags & (KEYEVENTF_UNICODE | KEYEVENTF_SCANCODE), 0u);
        }
        ExpectNoKeyDown();
    }
}

TEST(Win32Keyboard, KeysWindowsRefusesStopTheMessageWithTheReasonAndAreLetGo) {
    // Windows takes the events of some calls, then of one call only the first few (the window
    // with the focus turned out to run as administrator), then all again.
    const struct {
        const char* what;
        std::int32_t method;
        std::uint32_t pause;
        std::size_t refusedCall;  // counted from 0
        UINT taken;               // of that call's events
        std::wstring expected;
    } cases[] = {
        // The sixth character's Shift and F go down: F arrives, and both must be let go.
        {"by the layout, with pauses", 1, 1, 5, 2, L"abcdeF"},
        // One call for the lot: a, b and c, then d goes down and must be let go.
        {"by Unicode events, no pause", 0, 0, 0, 7, L"abcd"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::unique_ptr<PeerEdits> peer = PeerEdits::Open();
        ASSERT_TRUE(peer);
        std::size_t calls = 0;
        TypingJob job;
        job.m_strText = u"abcdeFghijklmnopqrstuvwxyz";
        job.m_iKeyInputMethod = c.method;
        job.m_uCharDelayMin = job.m_uCharDelayMax = c.pause;
        const Status result = TypeJob(std::move(job), [&](std::span<INPUT> batch) {
            if (calls++ != c.refusedCall) {
                return SendInputEvents(batch);
            }
            return SendInputEvents(batch.first(c.taken));
        });
        ASSERT_FALSE(result.ok()) << "the refusal was not reported";
        EXPECT_EQ(result.reason(), KeysRefusedReason());
        EXPECT_EQ(TextBeforeAKeyPressedNow(*peer), c.expected);
        ExpectNoKeyDown();
    }
}

TEST(Win32Keyboard, TheLayoutMethodTypesWhatTheUsLayoutHasAndSkipsTheRest) {
    std::unique_ptr<PeerEdits> peer = PeerEdits::Open();
    ASSERT_TRUE(peer);
    std::unique_ptr<CForegroundLayout> layout =
        CForegroundLayout::Load(std::make_shared<CKeySequences>());
    ASSERT_TRUE(layout);
    if (LOWORD(reinterpret_cast<UINT_PTR>(layout->Handle())) != 0x0409) {
        GTEST_SKIP() << "the foreground layout is not US English";
    }
    // Shifted and unshifted keys of every row; the Cyrillic letter and the euro sign are not on
    // the US layout and are skipped, the characters after them still typed.
    ExpectTyped(*peer,
                u"Hello, World! `1234567890-=~!@#$%^&*()_+[]{}\\|;:'\",.<>/? a\u0416b\u20acc ZZ",
                L"Hello, World! `1234567890-=~!@#$%^&*()_+[]{}\\|;:'\",.<>/? abc ZZ");
}

// The German tests are run by the test script on a display with the German layout, and by no
// other pass. Each opens the peer and checks that the keyboard is German (QWERTZ: z is on the
// key that types y under the US layout).
class Win32KeyboardGerman : public testing::Test {
protected:
    void SetUp() override {
        m_peer = PeerEdits::Open();
        ASSERT_TRUE(m_peer);
        m_layout = CForegroundLayout::Load(std::make_shared<CKeySequences>());
        const std::optional<KeyForCharacter> z = m_layout ? m_layout->FindKey(u'z') : std::nullopt;
        ASSERT_TRUE(z && ScanCodeOf(z->m_key) == 0x15) << "the keyboard is not German";
    }
    std::unique_ptr<PeerEdits> m_peer;
    std::unique_ptr<CForegroundLayout> m_layout;
};

TEST_F(Win32KeyboardGerman, GermanLayoutTypesUmlauts) {
    const std::u16string umlauts = u"Gr\u00fc\u00dfe zy \u00e4\u00f6\u00fc\u00c4\u00d6\u00dc";
    ExpectTyped(*m_peer, umlauts, std::wstring(umlauts.begin(), umlauts.end()));
}

TEST_F(Win32KeyboardGerman, GermanLayoutTypesDeadKeys) {
    // "^", "`" and the acute accent are dead keys there: each on its own is the dead key and
    // Space, and a vowel with it is the dead key and the vowel (Shift held for the capital).
    const std::u16string accents = u" ^`\u00b4 \u00ea\u00e9\u00e8\u00ca\u00c9\u00fb.";
    ASSERT_TRUE(TypeThroughTypist(accents).ok());
    std::wstring typed;
    // The full stop comes last: once it is there, everything before it has arrived.
    test::PumpUntil([&] {
        typed = test::ControlText(m_peer->m_editable);
        return typed.ends_with(L'.');
    });
    if (typed != std::wstring(accents.begin(), accents.end()) && test::RunningUnderWine()) {
        GTEST_SKIP() << "Wine reports no dead keys (ToUnicodeEx gives the accent at once) yet "
                        "types nothing for those keys, so dead-key sequences cannot be checked "
                        "here; the search for them is checked against a layout of the tests' own";
    }
    EXPECT_EQ(typed, std::wstring(accents.begin(), accents.end()));
}

TEST_F(Win32KeyboardGerman, GermanLayoutTypesAltGrCharacters) {
    // AltGr+Q, held as Ctrl+Alt.
    const std::optional<KeyForCharacter> at = m_layout->FindKey(u'@');
    if (!at && test::RunningUnderWine()) {
        GTEST_SKIP() << "Wine gives no AltGr characters for a Ctrl+Alt key state (only real X key "
                        "events set its AltGr state), so they cannot be typed by the layout method "
                        "here and are skipped";
    }
    ASSERT_TRUE(at);
    EXPECT_EQ(VirtualKeyOf(at->m_key), 'Q');
    EXPECT_EQ(at->m_modifiers, KEY_MODIFIER_CONTROL | KEY_MODIFIER_ALT);
    ExpectTyped(*m_peer, u"@{\\}~|", L"@{\\}~|");
}

TEST(Win32Keyboard, TheLayoutFindsKeysAndModifiersForCharacters) {
    const HKL us = ::LoadKeyboardLayoutW(L"00000409", 0);
    ASSERT_NE(us, nullptr);
    CForegroundLayout layout(us);
    const auto key = [us](WORD virtualKey) {
        return MakeKeyCode(virtualKey, WORD(::MapVirtualKeyExW(virtualKey, MAPVK_VK_TO_VSC, us)));
    };
    const struct {
        const char* what;
        char16_t unit;
        std::optional<KeyForCharacter> expected;
    } cases[] = {
        {"small letter", u'a', KeyForCharacter{key('A'), 0}},
        {"capital letter", u'A', KeyForCharacter{key('A'), KEY_MODIFIER_SHIFT}},
        {"on a key another character's search may hide", u'(',
         KeyForCharacter{key('9'), KEY_MODIFIER_SHIFT}},
        {"carriage return", u'\r', KeyForCharacter{key(VK_RETURN), 0}},
        {"line feed takes Return too", u'\n', KeyForCharacter{key(VK_RETURN), 0}},
        {"a control code is no text", u'\x01', std::nullopt},
        {"not on the layout", u'\u0416', std::nullopt},
        {"half a surrogate pair", u'\xd83d', std::nullopt},
    };
    for (const auto& c : cases) {
        const std::optional<KeyForCharacter> found = layout.FindKey(c.unit);
        ASSERT_EQ(found.has_value(), c.expected.has_value()) << c.what;
        if (found) {
            EXPECT_EQ(found->m_key, c.expected->m_key) << c.what;
            EXPECT_EQ(found->m_modifiers, c.expected->m_modifiers) << c.what;
        }
    }
    for (const auto& [modifier, virtualKey] :
         {std::pair<EKeyModifier, WORD>{KEY_MODIFIER_SHIFT, VK_LSHIFT},
          {KEY_MODIFIER_CONTROL, VK_LCONTROL},
          {KEY_MODIFIER_ALT, VK_LMENU}}) {
        EXPECT_EQ(layout.ModifierKey(modifier), key(virtualKey));
    }
}

}  // namespace
}  // namespace quenby
