#include <sys/mount.h>

#include "app/Texts.h"
#include "linux/IniProfileStore.h"
#include "linux/PosixFileStore.h"
#include "linux/TempHome.h"
#include "storage/DataFile.h"
#include "support/CoreFixture.h"

namespace quenby {
namespace {

// The main window over real files and folders, with what a user or the system can throw at it:
// full and read-only disks, files changed behind its back, odd names, a profile it cannot write.
class FaultInjectionTest : public test::CoreFixtureOn<test::TempHome> {
protected:
    FaultInjectionTest() { m_pFiles = &m_posixFiles; }
    void TearDown() override {
        if (m_bMounted) {
            ::umount2(m_disk.c_str(), MNT_DETACH);
        }
        TempHome::TearDown();
    }

    // The texts of a list; those of a data file, nothing when it does not load.
    static std::vector<std::u16string> TextsOf(const CMessageList& list) {
        std::vector<std::u16string> texts;
        for (std::size_t i = 0; i < list.GetItemCount(); ++i) {
            texts.push_back(list.GetMessageText(i));
        }
        return texts;
    }
    std::vector<std::u16string> Texts(const std::filesystem::path& file) {
        Expected<CMessageList> list = CDataFile(m_posixFiles, nullptr).ReadDataFile(file);
        return list.ok() ? TextsOf(list.value()) : std::vector<std::u16string>{};
    }
    void Add(const std::u16string& text) { AddMessages({test::Fields(text)}); }
    std::u16string LastMessage() const {
        return m_view.m_messages.empty() ? u"" : m_view.m_messages.back().m_strText;
    }

    std::filesystem::path m_disk;
    bool m_bMounted = false;
    CPosixFileStore m_posixFiles;
};

TEST_F(FaultInjectionTest, AFullOrReadOnlyDiskKeepsTheLastGoodSaveAndTheUserIsToldWhy) {
    // A small file system of the test's own, to fill up and then make read-only.
    m_disk = m_root / "disk";
    std::filesystem::create_directories(m_disk);
    m_bMounted = ::mount("tmpfs", m_disk.c_str(), "tmpfs", 0, "size=64k") == 0;
    ASSERT_TRUE(m_bMounted) << "this test needs to mount a small tmpfs";
    const std::filesystem::path file = m_disk / "list.quenbydata";
    Start();
    ASSERT_TRUE(SaveAs({m_disk / "list"}));
    for (int i = 0; i < 400 && m_view.m_messages.empty(); ++i) {
        Add(std::u16string(100, u'm'));
    }
    EXPECT_EQ(LastMessage().rfind(text::kStoreFailed, 0), 0u);
    EXPECT_NE(LastMessage().find(u"No space left on device"), std::u16string::npos);
    const std::size_t rows = Controller().List().GetItemCount();
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
    Start();
    ASSERT_TRUE(SaveAs({file}));
    EXPECT_EQ(m_view.m_strCaption, u"new\nline \uFFFD - Quenby by Holvane");
    const std::u16string huge(1 << 19, u'\u00e9');  // 512 Ki code units: a 1 MB text
    Add(huge);
    std::filesystem::remove(file);
    Add(u"two");
    EXPECT_TRUE(Texts(file) == (std::vector<std::u16string>{huge, u"two"}));
    CMessageList theirs;
    theirs.AddMessageItem(0, {u"theirs", 0, 0, false, false, 1, 2});
    ASSERT_TRUE(CDataFile(m_posixFiles, nullptr).WriteDataFile(file, theirs).ok());
    Add(u"three");
    EXPECT_TRUE(m_view.m_messages.empty());
    // A new start loads it whole, named on the command line.
    Restart("\"" + file.string() + "\"");
    EXPECT_TRUE(TextsOf(Controller().List()) ==
                (std::vector<std::u16string>{huge, u"two", u"three"}));
}

TEST_F(FaultInjectionTest, AnUnwritableProfileLosesNothingButTheStoredShortcutSaysSo) {
    WriteBytes(m_home / "not-a-folder", "x");
    CIniProfileStore profile(m_home / "not-a-folder" / "profile.conf");
    m_pProfile = &profile;
    Start();
    SetCount(7);
    EXPECT_TRUE(m_view.m_messages.empty());  // a setting that cannot be stored is not an error
    m_view.m_hotKey = HotKeyCapture{0x74, true};
    Controller().OnAssignHotKey();
    ASSERT_EQ(m_view.m_messages.size(), 1u);
    EXPECT_EQ(m_view.m_messages[0].m_strText, text::kHotKeyStoreFailed);
    EXPECT_EQ(Controller().TypingRun().m_iCount, 7);  // the run still uses what is on screen
}

}  // namespace
}  // namespace quenby
