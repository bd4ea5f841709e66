#pragma once

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "engine/WideText.h"
#include "support/BrowserPage.h"
#include "support/ChildProcess.h"
#include "wayland/AppTargets.h"
#include "wayland/HeadlessSway.h"
#include "wayland/UserKeyboard.h"

namespace quenby::bench {

// Ends every text a typist sends: what came before it is that text, whatever got lost.
inline constexpr char16_t kEndMarker = u'\ue000';

// A real application with the focus in a text field, and what it received before each end
// marker. Everything it started ends with it.
class CBenchTarget {
public:
    virtual ~CBenchTarget() = default;
    // Why it is not ready for keys, or empty when it is.
    const std::string& Failure() const { return m_strFailure; }
    // The text received before the next end marker; false when no marker comes within
    // `timeoutMs` (a browser's `text` then holds what came anyway).
    virtual bool Read(std::u16string& text, int timeoutMs) = 0;
    // The application's own process.
    virtual int Pid() const = 0;
    // Whether Read() shows what came when the marker did not.
    virtual bool ShowsPartialText() const { return false; }

protected:
    std::string m_strFailure;
};

// The recorder's TEXT lines: the GTK 3 window's own, or the terminal's raw reader's through
// `tail`.
class CRecorderTarget : public CBenchTarget {
public:
    bool Read(std::u16string& text, int timeoutMs) override {
        std::string utf8;
        const bool got = test::ReadRecordedText(m_receiver ? *m_receiver : *m_app, utf8, timeoutMs);
        text = Utf16FromUtf8(utf8);
        return got;
    }
    int Pid() const override { return m_app ? m_app->Pid() : -1; }

protected:
    std::unique_ptr<test::CChildProcess> m_app;
    std::unique_ptr<test::CChildProcess> m_receiver;  // a terminal's recorder's lines
};

// Without a window manager the X server gives the keys to the window that is told to take them.
inline bool FocusX11Window(const std::string& title) {
    return test::RunCommand({"timeout", "20", "xdotool", "search", "--sync", "--onlyvisible",
                             "--name", "^" + title + "$", "windowfocus", "--sync"}) == 0;
}

// The GTK 3 recorder's text view on the current X display.
class CX11GtkTarget final : public CRecorderTarget {
public:
    CX11GtkTarget() {
        m_app = std::make_unique<test::CChildProcess>(
            std::vector<std::string>{"/usr/bin/python3", QUENBY_WAYLAND_RECORDER, "gtk"},
            std::vector<std::string>{"GDK_BACKEND=x11", "NO_AT_BRIDGE=1"});
        if (!FocusX11Window("Quenby Wayland recorder") ||
            !m_app->WaitForLine("READY", test::kSwayStartMs)) {
            m_strFailure = "the GTK 3 window did not get the focus";
        }
    }
};

// xterm running the raw tty reader, which writes its lines to a file that `tail` passes on.
class CXtermTarget final : public CRecorderTarget {
public:
    explicit CXtermTarget(const std::filesystem::path& folder) {
        const std::string file = (folder / "xterm.txt").string();
        std::ofstream(file).flush();
        m_receiver = std::make_unique<test::CChildProcess>(
            std::vector<std::string>{"tail", "-n", "+1", "-F", file});
        m_app = std::make_unique<test::CChildProcess>(
            std::vector<std::string>{"xterm", "-u8", "-T", "quenby-bench-xterm", "-e",
                                     "/usr/bin/python3", QUENBY_WAYLAND_RECORDER, "tty", file},
            std::vector<std::string>{"LC_ALL=C.UTF-8"});
        if (!m_receiver->WaitForLine("READY", test::kSwayStartMs) ||
            !FocusX11Window("quenby-bench-xterm")) {
            m_strFailure = "xterm did not come up with the focus";
        }
    }
};

// A browser ("chromium" or "firefox") on the current X display, showing the page with a focused
// <textarea> that posts its text back.
class CX11BrowserTarget final : public CBenchTarget {
public:
    CX11BrowserTarget(const std::string& browser, const std::filesystem::path& folder)
        : m_page(folder) {
        m_app = test::StartBrowser(browser, folder / browser, m_page.Url());
        // A browser takes a while to start on a loaded machine.
        if (!m_app->Started() || !m_page.WaitUntilFocused(120000)) {
            m_strFailure = browser + "'s page did not get the focus";
        }
    }
    bool Read(std::u16string& text, int timeoutMs) override {
        return m_page.ReadToMarker(text, timeoutMs);
    }
    bool ShowsPartialText() const override { return true; }
    int Pid() const override { return m_app->Pid(); }

private:
    test::CBrowserPage m_page;
    std::unique_ptr<test::CChildProcess> m_app;
};

// The GTK 3 recorder on the compositor, with a keyboard of the user's from before it started (a
// client takes a keyboard the seat gains only some time after it is told of it).
class CWaylandGtkTarget final : public CRecorderTarget {
public:
    explicit CWaylandGtkTarget(const test::CHeadlessSway& sway) : m_keyboard("us") {
        m_app = sway.StartGtkRecorder();
        if (!m_app) {
            m_strFailure = "the GTK 3 window did not get the focus";
        }
    }

private:
    test::CUserKeyboard m_keyboard;
};

// foot, Chromium or Firefox on the compositor, as the Wayland application tests start them.
class CWaylandAppTarget final : public CBenchTarget {
public:
    CWaylandAppTarget(const test::CHeadlessSway& sway, const std::string& name)
        : m_keyboard("us"), m_app(sway, name) {
        m_strFailure = m_app.Failure();
    }
    int Pid() const override { return m_app.Pid(); }
    bool Read(std::u16string& text, int timeoutMs) override {
        std::string utf8;
        const bool got = m_app.Receiver().Read(utf8, timeoutMs);
        text = Utf16FromUtf8(utf8);
        return got;
    }

private:
    test::CUserKeyboard m_keyboard;
    test::CAppTarget m_app;
};

}  // namespace quenby::bench
