#include <sys/mount.h>

#include "app/QuenbyController.h"
#include "app/Texts.h"
#include "fakes/FakeDesktop.h"
#include "fakes/FakeMainView.h"
#include "fakes/MemoryProfileStore.h"
#include "fakes/RecordingKeyboard.h"
#include "input/TypingJob.h"
#include "linux/IniProfileStore.h"
#include "linux/PosixFileStore.h"
#include "linux/TempHome.h"
#include "storage/DataFile.h"

namespace quenby {
namespace {

// The main window over real files and folders, with what a user or the system can throw at it:
// full and read-only disks, files changed behind its back, odd names, a profile it cannot write.
class FaultInjectionTest : public test::TempHome {
protected:
    void TearDown() override {
        m_controller.reset();
        if (m_bMounted) {
            ::umount2(m_disk.c_str(), MNT_DETACH);
        }
        TempHome::TearDown();
    }

    void Start(const std::string& commandLine, IProfileStore& profile) {
        m_controller = std::make_unique<CQuenbyController>(
            MainWindowServices{m_view, profile, m_files, nullptr, m_clock, m_pointer, m_shortcut,
                               m_shell, m_typist, m_setters, m_running});
        m_controller->OnInitDialog(commandLine);
    }
    void SaveAs(const std::filesystem::path& file) {
        m_view.m_files = {file};
        ASSERT_TRUE(m_controller->SaveDataFileAs());
    }
    void Add(const std::u16string& text) {
        m_view.m_editorScript = test::EditorEnters(test::Fields(text));
        m_controller->OnAddNew();
    }
    static std::vector<std::u16string> TextsOf(const CMessageList& list) {
        std::vector<std::u16string> texts;
        for (std::size_t i = 0; i < list.GetItemCount(); ++i) {
            texts.push_back(list.GetMessageText(i));
        }
        return texts;
    }
    // The texts of the list in a data file; nothing when it does not load.
    std::vector<std::u16string> Texts(const std::filesystem::path& file) {
        Expected<CMessageList> list = CDataFile(m_files, nullptr).ReadDataFile(file);
        return list.ok() ? TextsOf(list.value()) : std::vector<std::u16string>{};
    }
    std::u16string LastMessage() const {
        return m_view.m_messages.empty() ? u"" : m_view.m_messages.back().m_strText;
    }

    std::filesystem::path m_disk;
    bool m_bMounted = false;
    test::CFakeMainView m_view;
    test::CMemoryProfileStore m_profile;
    CPosixFileStore m_files;
    test::CVirtualClock m_clock;
    test::CFakePointer m_pointer;
    test::CFakeGlobalShortcut m_shortcut;
    test::CFakeShellActions m_shell;
    test::CFakeTextSetterFactory m_setters;
    test::CRecordingKeyboard m_keyboard;
    std::atomic<bool> m_running{false};
    CSynchronousTypist m_typist{KeystrokeServices{m_keyboard, m_setters, m_clock, m_running}};
    std::unique_ptr<CQuenbyController> m_controller;
};

TEST_F(FaultInjectionTest, AFullOrReadOnlyDiskKeepsTheLastGoodSaveAndTheUserIsToldWhy) {
    // A small file system of the test's own, to fill up and then make read-only.
    m_disk = m_root / "disk";
    std::filesystem::create_directories(m_disk);
    m_bMounted = ::mount("tmpfs", m_disk.c_str(), "tmpfs", 0, "size=64k") == 0;
    ASSERT_TRUE(m_bMounted) << "this test needs to mount a small tmpfs";
    const std::filesystem::path file = m_disk / "list.quenbydata";
    Start("", m_profile);
    SaveAs(m_disk / "list");
    for (int i = 0; i < 400 && m_view.m_messages.empty(); ++i) {
        Add(std::u16string(100, u'm'));
    }
    EXPECT_EQ(LastMessage().rfind(text::kStoreFailed, 0), 0u);
    EXPECT_NE(LastMessage().find(u"No space left on device"), std::u16string::npos);
    const std::size_t rows = m_controller->List().GetItemCount();
    EXPECT_EQ(Entries(m_disk).size(), 1u);  // no temporary file left behind (a load clears it)
    EXPECT_EQ(Texts(file).size(), rows - 1);

    ASSERT_EQ(::mount(nullptr, m_disk.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0);
    Add(u"one more");
    EXPECT_NE(LastMessage().find(u"Read-only file system"), std::u16string::npos);
    EXPECT_EQ(Texts(file).size(), rows - 1);
}

// A name in no encoding, a megabyte text, and a file another program removed or replaced.
TEST_F(FaultInjectionTest, WhateverHappensToTheFileTheNextChangeWritesTheWindowsWholeList) {
    const std::filesystem::path file = m_home / "new\nline \xff.quenbydata";
    Start("", m_profile);
    SaveAs(file);
    EXPECT_EQ(m_view.m_strCaption, u"new\nline \uFFFD - Quenby by Holvane");
    const std::u16string huge(1 << 19, u'\u00e9');  // 512 Ki code units: a 1 MB text
    Add(huge);
    std::filesystem::remove(file);
    Add(u"two");
    EXPECT_TRUE(Texts(file) == (std::vector<std::u16string>{huge, u"two"}));
    CMessageList theirs;
    theirs.AddMessageItem(0, {u"theirs", 0, 0, false, false, 1, 2});
    ASSERT_TRUE(CDataFile(m_files, nullptr).WriteDataFile(file, theirs).ok());
    Add(u"three");
    EXPECT_TRUE(m_view.m_messages.empty());
    // A new start loads it whole, named on the command line.
    m_view = test::CFakeMainView{};
    Start("\"" + file.string() + "\"", m_profile);
    EXPECT_TRUE(TextsOf(m_controller->List()) ==
                (std::vector<std::u16string>{huge, u"two", u"three"}));
}

TEST_F(FaultInjectionTest, AnUnwritableProfileLosesNothingButTheStoredShortcutSaysSo) {
    WriteBytes(m_home / "not-a-folder", "x");
    CIniProfileStore profile(m_home / "not-a-folder" / "profile.conf");
    Start("", profile);
    m_view.m_strCount = u"7";
    m_controller->OnCountChanged();
    EXPECT_TRUE(m_view.m_messages.empty());  // a setting that cannot be stored is not an error
    m_view.m_hotKey = HotKeyCapture{0x74, true};
    m_controller->OnAssignHotKey();
    ASSERT_EQ(m_view.m_messages.size(), 1u);
    EXPECT_EQ(m_view.m_messages[0].m_strText, text::kHotKeyStoreFailed);
    EXPECT_EQ(m_controller->TypingRun().m_iCount, 7);  // the run still uses what is on screen
}

}  // namespace
}  // namespace quenby
