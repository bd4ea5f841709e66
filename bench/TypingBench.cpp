// Types the same 10,000-character texts into a recording X client on a virtual X server, under the
// us and de layouts, with Quenby's Unicode method at no pause and with xdotool, and prints
// characters per second, the share of characters that arrived right and the keymap changes each
// made.
#include <stdlib.h>
#include <xcb/xtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "TypingBenchSupport.h"
#include "engine/WideText.h"
#include "input/ThreadSleeper.h"
#include "input/TypingJob.h"
#include "linux/x11/SpareKeyCache.h"
#include "linux/x11/X11Keyboard.h"
#include "linux/x11/X11Layout.h"
#include "support/ChildProcess.h"

namespace {

using namespace quenby;
using bench::CNoTextSetters;
using bench::ShareRight;
using Clock = std::chrono::steady_clock;

// Presses the end marker (F12) and returns what the recorder received before it.
std::u16string Collect(test::CChildProcess& recorder) {
    xcb_connection_t* conn = xcb_connect(nullptr, nullptr);
    xcb_test_fake_input(conn, XCB_KEY_PRESS, 96, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    xcb_test_fake_input(conn, XCB_KEY_RELEASE, 96, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    std::free(xcb_get_input_focus_reply(conn, xcb_get_input_focus(conn), nullptr));
    xcb_disconnect(conn);
    recorder.ClearLines();
    recorder.WaitForLine("END", 300000);
    std::string text;
    for (const std::string& line : recorder.Lines()) {
        if (line.rfind("KEY ", 0) == 0) {
            text += test::Unhex(line.substr(line.find(' ', 4) + 1));
        }
    }
    return Utf16FromUtf8(text);
}

// Keyboard mapping changes the server announced since the last call: every client gets them.
int KeymapChanges(xcb_connection_t* watcher) {
    std::free(xcb_get_input_focus_reply(watcher, xcb_get_input_focus(watcher), nullptr));
    int changes = 0;
    while (xcb_generic_event_t* event = xcb_poll_for_event(watcher)) {
        if ((event->response_type & 0x7F) == XCB_MAPPING_NOTIFY &&
            reinterpret_cast<xcb_mapping_notify_event_t*>(event)->request == XCB_MAPPING_KEYBOARD) {
            ++changes;
        }
        std::free(event);
    }
    return changes;
}

void Report(const char* layout, const char* who, const char* text, const std::u16string& sent,
            const std::u16string& got, double seconds, int changes) {
    const double rate = static_cast<double>(sent.size()) / seconds;
    const double right = 100.0 * ShareRight(sent, got);
    std::printf("%-3s %-8s %-22s %10.0f %9.2f%% %8d  (%zu of %zu code units arrived)\n", layout,
                who, text, rate, right, changes, got.size(), sent.size());
    std::printf(
        "REPORT typing 10,000 chars, %s, %s, %s|%.0f chars/s, %.2f%% right, %d keymap changes\n",
        layout, who, text, rate, right, changes);
}

// Mostly ASCII words, and every few words one made of characters that neither us nor de has:
// accented letters, Cyrillic, Greek, CJK, symbols and emoji, each only a few dozen times at most.
std::u16string MixedText() {
    std::u16string pool;
    for (char16_t c : std::u16string(u"ÀÁÂÃÅÆÇÈÉÊËÌÍÎÏÐÑÒÓÔÕØÙÚÛÝÞàáâãåæçèéêëìíîïðñòóôõøùúûýþÿ")) {
        pool.push_back(c);
    }
    pool += u"ąćęłńśźżĄĆĘŁŃŚŹŻčďěňřšťůžČĎĚŇŘŠŤŮŽőűŐŰ";
    for (char16_t c = 0x0430; c < 0x0450; ++c) {
        pool.push_back(c);  // Cyrillic small letters
    }
    pool += u"БГДЖЗИЛПФЦЧШЩЭЮЯ";
    for (char16_t c = 0x03B1; c <= 0x03C9; ++c) {
        if (c != 0x03C2) {
            pool.push_back(c);  // Greek small letters but final sigma
        }
    }
    pool += u"ΓΔΘΛΞΠΣΦΨΩ中文字日本語漢東京大学生先年月火水木金土人";
    pool += u"∞≈≠≤≥∑√∫★☆♥♦♣♠✓✗™‰†‡§¶";
    std::vector<std::u16string> units;
    for (char16_t c : pool) {
        units.emplace_back(1, c);
    }
    for (const char16_t* emoji : {u"\U0001F600", u"\U0001F389", u"\U0001F680", u"\U0001F44D"}) {
        units.emplace_back(emoji);
    }
    const std::u16string words[] = {u"the ",  u"quick ", u"brown ", u"fox ", u"jumps ",
                                    u"over ", u"lazy ",  u"dog ",   u"and ", u"types "};
    std::u16string text;
    std::uint32_t seed = 12345;
    const auto next = [&seed](std::uint32_t below) {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) % below;
    };
    while (text.size() < 10000) {
        text += words[next(std::size(words))];
        if (next(3) == 0) {
            for (std::uint32_t n = 1 + next(4); n > 0; --n) {
                text += units[next(static_cast<std::uint32_t>(units.size()))];
            }
            text += u' ';
        }
    }
    text.resize(10000);
    if ((text.back() & 0xFC00) == 0xD800) {
        text.back() = u'.';  // no half an emoji at the end
    }
    return text;
}

}  // namespace

int main() {
    test::CChildProcess server({"Xvfb", "-displayfd", "1", "-noreset", "-nolisten", "tcp"});
    std::string number;
    if (!server.ReadLine(number, 20000)) {
        std::fprintf(stderr, "Xvfb did not start\n");
        return 1;
    }
    ::setenv("DISPLAY", (":" + number).c_str(), 1);
    test::CChildProcess recorder({QUENBY_KEY_RECORDER});
    if (!recorder.WaitForLine("READY", 20000)) {
        std::fprintf(stderr, "the recorder did not start\n");
        return 1;
    }

    xcb_connection_t* watcher = xcb_connect(nullptr, nullptr);
    // The server's first XTest key makes the XTest device the core keyboard's source, which it
    // announces as a keymap change: that one is nobody's typing.
    Collect(recorder);

    std::u16string ascii;
    const std::u16string words = u"the quick brown fox jumps over the lazy dog ";
    for (std::size_t i = 0; ascii.size() < 10000; ++i) {
        ascii += words[i % words.size()];
    }
    ascii.resize(10000);
    const std::u16string mixed = MixedText();

    CX11Keyboard keyboard;
    CNoTextSetters setters;
    CThreadSleeper sleeper;
    std::atomic<bool> running{true};
    const KeystrokeServices services{keyboard, setters, sleeper, running};

    std::printf("typing 10,000 code units into an Xlib client on Xvfb, no pause\n");
    for (const char* layout : {"us", "de"}) {
        test::RunCommand({"setxkbmap", layout});
        // What the server's keymap leaves for binding, and what the text needs of it.
        auto connection = CXcbConnection::Open();
        auto snapshot = CXkbSnapshot::Take(*connection.value());
        const std::size_t spare = CSpareKeyCache::FindSpareKeys(snapshot.value()->Keymap()).size();
        const std::size_t vendor =
            CSpareKeyCache::FindVendorKeys(snapshot.value()->Keymap()).size();
        CX11Layout lookup(std::move(snapshot).value());
        std::set<char32_t> missing;
        std::size_t missingCount = 0;
        for (std::size_t i = 0; i < mixed.size(); ++i) {
            char32_t c = mixed[i];
            if ((c & 0xFC00) == 0xD800 && i + 1 < mixed.size()) {
                c = 0x10000 + ((c - 0xD800u) << 10) + (mixed[++i] - 0xDC00u);
            }
            if (!lookup.FindCodePoint(c)) {
                missing.insert(c);
                ++missingCount;
            }
        }
        std::printf(
            "\nlayout %s: %zu spare keycodes and %zu vendor keys to lend (two characters each); "
            "the mixed text has %zu different characters the layout lacks, %zu in all\n",
            layout, spare, vendor, missing.size(), missingCount);
        std::printf("%-3s %-8s %-22s %10s %10s %8s\n", "", "tool", "text", "chars/s", "right",
                    "keymap changes");
        const struct {
            const char* name;
            const std::u16string* text;
        } texts[] = {{"ASCII", &ascii}, {"with missing letters", &mixed}};
        for (const auto& t : texts) {
            TypingJob job;
            job.m_strText = *t.text;
            job.m_iKeyInputMethod = 0;
            job.m_uCharDelayMin = job.m_uCharDelayMax = 0;
            KeymapChanges(watcher);
            auto start = Clock::now();
            RunTypingJob(services, job);
            std::u16string got = Collect(recorder);
            Report(layout, "Quenby", t.name, *t.text, got,
                   std::chrono::duration<double>(Clock::now() - start).count(),
                   KeymapChanges(watcher));

            start = Clock::now();
            test::RunCommand({"xdotool", "type", "--delay", "0", Utf8FromUtf16(*t.text)});
            got = Collect(recorder);
            Report(layout, "xdotool", t.name, *t.text, got,
                   std::chrono::duration<double>(Clock::now() - start).count(),
                   KeymapChanges(watcher));
        }
    }
    xcb_disconnect(watcher);
    return 0;
}
