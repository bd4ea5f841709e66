#pragma once

#include <memory>
#include <string>

#include "linux/TempHome.h"
#include "support/ChildProcess.h"

namespace quenby::test {

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
    // Presses the end marker through XTest and returns what the recorder received before it
    // since the last collection (lines a test waited for included): its text, and how many
    // bells rang.
    struct Received {
        std::string m_strText;  // UTF-8
        int m_iBells = 0;
    };
    Received CollectReceived(int timeoutMs = 20000);

    std::string m_display;
    std::unique_ptr<CChildProcess> m_server;
    std::unique_ptr<CChildProcess> m_recorder;
};

}  // namespace quenby::test
