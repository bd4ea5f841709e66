#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "input/ThreadSleeper.h"
#include "input/TypingJob.h"
#include "support/AppReceiver.h"

namespace quenby::test {

// Keys only: the tests that type set no field's text.
class CNoTextSetters final : public ITextSetterFactory {
public:
    std::unique_ptr<ITextSetter> CreateTextSetter() override { return nullptr; }
};

// What a typing job needs around a keyboard in the tests that type: no field setters, real
// sleeps, and a run that stays on until a test turns it off.
template <typename Keyboard>
struct CTypingServices {
    template <typename... Args>
    explicit CTypingServices(Args&&... args) : m_keyboard(std::forward<Args>(args)...) {}
    Keyboard m_keyboard;
    CNoTextSetters m_noSetters;
    CThreadSleeper m_sleeper;
    std::atomic<bool> m_runActive{true};
    KeystrokeServices m_services{m_keyboard, m_noSetters, m_sleeper, m_runActive};
};

// The texts every application of the X11 and Wayland application tests receives, by both
// methods, at no pause and at the default one. Texts at the default pause are short: at 20-60 ms
// a character, a long one only costs time.
struct AppText {
    const char* what;
    std::u16string text;
    int method;          // 0: Unicode, 1: the user's layout
    const char* layout;  // the user's layout
    std::uint32_t pauseMin = 0, pauseMax = 0;
    bool beyondBmp = false;  // has characters beyond U+FFFF
};

inline std::u16string PrintableAscii() {
    std::u16string ascii;
    for (char16_t c = 0x20; c < 0x7F; ++c) {
        ascii.push_back(c);
    }
    return ascii;
}

// `count` characters no Latin layout has, each followed by a space: Cyrillic (64 different),
// Greek (17) and CJK (150), more than one keymap of lent keys holds.
inline std::u16string Lacking(int count) {
    std::u16string text;
    for (int i = 0; i < count; ++i) {
        text.push_back(static_cast<char16_t>(i % 4 == 0   ? 0x0410 + i / 4 % 64
                                             : i % 4 == 1 ? 0x0391 + i / 4 % 17
                                                          : 0x4E00 + i));
        text.push_back(u' ');
    }
    return text;
}

inline std::vector<AppText> AppTexts() {
    constexpr int kUnicode = 0;
    constexpr int kLayout = 1;
    const std::u16string beyond = u"\U0001F642 smile \U0001F600\U0001F44D\U0001F680 \U00010348";
    return {
        {"ASCII", PrintableAscii() + PrintableAscii(), kUnicode, "us"},
        {"ASCII, layout method", PrintableAscii() + PrintableAscii(), kLayout, "us"},
        {"231 different characters the layout lacks", Lacking(300), kUnicode, "us"},
        {"dead-key characters under de",
         PrintableAscii() + u"\u00b4\u00e2\u00ea\u00ee\u00f4\u00fb\u00c2\u00ca\u00d4\u00e0\u00e8"
                            u"\u00f9\u00c1\u00c9\u00dd^^``",
         kLayout, "de"},
        {"dead-key characters under fr",
         PrintableAscii() + u"\u00e2\u00ea\u00ee\u00f4\u00fb\u00eb\u00ef\u00fc\u00ff\u00c2\u00ca"
                            u"\u00d6\u00e9\u00e8\u00e0\u00e7\u00f9^^\u00a8",
         kLayout, "fr"},
        {"beyond U+FFFF", beyond, kUnicode, "us", 0, 0, true},
        {"ASCII, default pause", u"Hello, world! 0123456789 {x} ~", kLayout, "us", 20, 60},
        {"characters the layout lacks, default pause", Lacking(15), kUnicode, "us", 20, 60},
        {"dead-key characters under de, default pause", u"^a`e\u00b4\u00e2\u00ca\u00e8\u00c9^",
         kLayout, "de", 20, 60},
        {"beyond U+FFFF, default pause", beyond, kUnicode, "us", 20, 60, true},
    };
}

// Types `text` by `method` (0: Unicode) at a pause of `pauseMin`-`pauseMax` ms, then the end
// marker; whether both went out.
inline bool TypeMarked(const KeystrokeServices& services, const std::u16string& text, int method,
                       std::uint32_t pauseMin = 0, std::uint32_t pauseMax = 0) {
    TypingJob job;
    job.m_strText = text;
    job.m_iKeyInputMethod = method;
    job.m_uCharDelayMin = pauseMin;
    job.m_uCharDelayMax = pauseMax;
    const bool typed = RunTypingJob(services, job).ok();
    job.m_strText = std::u16string(1, kEndMarker);
    job.m_iKeyInputMethod = 0;
    job.m_uCharDelayMin = job.m_uCharDelayMax = 0;
    return RunTypingJob(services, job).ok() && typed;
}

// Waits until the application takes keys: a focused window may not, for a while. Keys sent
// before then are lost, so the end marker goes again until one arrives, and a last "ok" (read
// past the markers that arrived late) shows that reading is in step.
inline bool WaitUntilTyping(const KeystrokeServices& services, CAppReceiver& receiver) {
    std::string got;
    for (int i = 0; i < 20 && !(TypeMarked(services, u"", 0) && receiver.Read(got, 3000)); ++i) {
    }
    if (!TypeMarked(services, u"ok", 0)) {
        return false;
    }
    while (receiver.Read(got, 30000)) {
        if (got == "ok") {
            return true;
        }
    }
    return false;
}

// Types every text of the table into the application behind `receiver` (which takes keys) and
// checks that each arrived exactly, and that the application still takes keys afterwards (a
// compositor disconnects a flooded one). `useLayout` makes a layout the user's.
// `keysBeyondBmp`: whether the application takes characters beyond U+FFFF from keys.
inline void TypeEveryAppText(const std::string& app, const KeystrokeServices& services,
                             CAppReceiver& receiver,
                             const std::function<bool(const char*)>& useLayout,
                             bool keysBeyondBmp = true) {
    for (const AppText& t : AppTexts()) {
        const std::string what = app + ", " + t.what;
        if (t.beyondBmp && !keysBeyondBmp) {
            std::printf("%s: not typed (the application takes one UTF-16 unit from a key)\n",
                        what.c_str());
            continue;
        }
        ASSERT_TRUE(useLayout(t.layout)) << what;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_TRUE(TypeMarked(services, t.text, t.method, t.pauseMin, t.pauseMax)) << what;
        std::string got;
        EXPECT_TRUE(receiver.Read(got, 120000)) << what << ": nothing arrived";
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        const std::u16string received = Utf16FromUtf8(got);
        std::size_t right = 0;
        for (std::size_t i = 0; i < std::min(received.size(), t.text.size()); ++i) {
            right += received[i] == t.text[i];
        }
        std::printf("%s: %zu/%zu right, %.0f characters/s\n", what.c_str(), right, t.text.size(),
                    static_cast<double>(t.text.size()) / took.count());
        EXPECT_EQ(got, Utf8FromUtf16(t.text)) << what;
        // (and reading is in step again, whatever went wrong)
        EXPECT_TRUE(WaitUntilTyping(services, receiver))
            << what << ": the application no longer takes keys";
    }
}

}  // namespace quenby::test
