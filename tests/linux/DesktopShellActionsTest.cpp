#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "linux/DesktopShellActions.h"
#include "linux/TempHome.h"

namespace quenby {
namespace {

// The desktop as the tests make it: an xdg-open that writes down what it was asked to open, and
// (where a test wants one) a file manager on the session bus.
class DesktopShellActionsTest : public test::TempHome {
protected:
    void SetUp() override {
        TempHome::SetUp();
        const std::filesystem::path bin = m_root / "bin";
        std::filesystem::create_directories(bin);
        m_opened = m_root / "opened.txt";
        WriteBytes(bin / "xdg-open", "#!/bin/sh\necho \"$1\" >> '" + m_opened.string() + "'\n");
        ::chmod((bin / "xdg-open").c_str(), 0755);
        ::setenv("PATH", (bin.string() + ":" + ::getenv("PATH")).c_str(), 1);
    }
    // What the fake opener was asked to open: it runs on its own, so wait for its `lines`.
    std::string Opened(long lines = 1) {
        for (int i = 0; i < 400; ++i) {
            const std::string text = ReadText(m_opened);
            if (std::count(text.begin(), text.end(), '\n') >= lines) {
                return text;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return "";
    }

    std::filesystem::path m_opened;
    CDesktopShellActions m_shell;
};

TEST_F(DesktopShellActionsTest, TheFileManagerShowsTheFileSelected) {
    StartSessionBus();
    test::CChildProcess manager({"/usr/bin/python3", QUENBY_FAKE_FILE_MANAGER});
    ASSERT_TRUE(manager.WaitForLine("READY", 20000));
    const std::filesystem::path file = m_home / "My Lists" / "a b.quenbydata";
    std::filesystem::create_directories(file.parent_path());
    WriteBytes(file, "x");
    EXPECT_TRUE(m_shell.ShowFileInFolder(file));
    EXPECT_TRUE(manager.WaitForLine(
        "SHOW file://" + (m_home / "My%20Lists/a%20b.quenbydata").string(), 20000));
    EXPECT_FALSE(m_shell.ShowFileInFolder(m_home / "gone.quenbydata"));
}

// Web addresses go to the opener unchanged; without a file manager, so does the file's folder.
TEST_F(DesktopShellActionsTest, WithoutAFileManagerTheOpenerShowsWebAddressesAndFolders) {
    WithoutSessionBus();
    m_shell.OpenWebAddress("https://example.org/a?b=c&d=e f");
    EXPECT_EQ(Opened(), "https://example.org/a?b=c&d=e f\n");
    const std::filesystem::path file = m_home / "list.quenbydata";
    WriteBytes(file, "x");
    EXPECT_TRUE(m_shell.ShowFileInFolder(file));
    EXPECT_EQ(Opened(2), "https://example.org/a?b=c&d=e f\nfile://" + m_home.string() + "\n");
}

}  // namespace
}  // namespace quenby
