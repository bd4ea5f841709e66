#pragma once

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <utility>

#include "linux/TempHome.h"
#include "platform/TextSetter.h"
#include "support/ChildProcess.h"

namespace quenby::test {

// Where two texts first differ, shown briefly: long texts must not flood the log.
inline std::string FirstDifference(const std::string& got, const std::string& wanted) {
    const std::size_t at = static_cast<std::size_t>(
        std::mismatch(got.begin(), got.end(), wanted.begin(), wanted.end()).first - got.begin());
    if (got == wanted) {
        return "";
    }
    return "at byte " + std::to_string(at) + " of " + std::to_string(wanted.size()) + ": got \"" +
           got.substr(at, 40) + "\" wanted \"" + wanted.substr(at, 40) + "\"";
}

// A test with its own HOME and its own X server (Xvfb, US keymap at start), with DISPLAY pointing
// at it. -noreset keeps the server from reloading its default keymap when the last client leaves.
class XDisplayTest : public TempHome {
protected:
    void SetUp() override;
    void TearDown() override;

    // Starts the key recorder and waits until it has the focus.
    void StartRecorder();
    // Sets the server's layout ("us", "de", "fr", "ru"), and its variant ("intl") if one is given.
    void SetLayout(const std::string& layout, const std::string& variant = "");
    // Sends key events (keycode, pressed) through XTest; the evdev keycodes are the same in
    // every layout. Returns once the server has them.
    static void FakeKeys(std::initializer_list<std::pair<int, bool>> keys);
    // How many keys the server holds down now.
    static int KeysDown();
    // Presses the end marker and returns what the recorder received before it since the last
    // collection: its text, and how many bells rang.
    struct Received {
        std::string m_strText;  // UTF-8
        int m_iBells = 0;
    };
    Received CollectReceived(int timeoutMs = 20000);

    // Starts the Qt window with text fields (accessible) and reads where its fields are.
    CChildProcess& LaunchTextFields();
    // A text setter that reaches the field at `point`: an application registers with the
    // accessibility bus some time after its window shows.
    std::unique_ptr<ITextSetter> SetterReaching(ScreenPoint point);
    std::unique_ptr<CChildProcess> m_fieldsApp;
    std::map<std::string, ScreenPoint> m_fields;

    std::string m_display;
    std::unique_ptr<CChildProcess> m_server;
    std::unique_ptr<CChildProcess> m_recorder;
};

}  // namespace quenby::test
