#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/QuenbyController.h"
#include "app/Texts.h"
#include "engine/WideText.h"
#include "fakes/FakeDesktop.h"
#include "fakes/FakeMainView.h"
#include "fakes/MemoryProfileStore.h"
#include "fakes/RecordingKeyboard.h"
#include "input/TypingJob.h"
#include "linux/PosixFileStore.h"
#include "linux/TempHome.h"
#include "storage/DataFile.h"

namespace quenby {
namespace {

// The main window's behaviour over real files, with what a user can throw at it.
class FaultInjectionTest : public test::TempHome {
protected:
    CQuenbyController& Start(const std::string& commandLine) {
        m_controller = std::make_unique<CQuenbyController>(
            MainWindowServices{m_view, m_profile, m_files, nullptr, m_clock, m_pointer, m_shortcut,
                               m_shell, m_typist, m_setters, m_running});
        m_controller->OnInitDialog(commandLine);
        return *m_controller;
    }
    void Add(const std::u16string& text) {
        m_view.m_editorScript = test::EditorEnters(test::Fields(text));
        m_controller->OnAddNew();
    }
    std::size_t RowsIn(const std::filesystem::path& file) {
        Expected<CMessageList> list = CDataFile(m_files, nullptr).ReadDataFile(file);
        return list.ok() ? list.value().GetItemCount() : 0;
    }

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

TEST_F(FaultInjectionTest, ACommandLineThatNamesNoReadableFileSaysWhy) {
    std::filesystem::create_directories(m_home / "a folder");
    const struct {
        std::string commandLine;
        const char16_t* reason;
    } cases[] = {
        {"\"" + (m_home / "a folder").string() + "\"", u"it is a folder"},
        {(m_home / "missing.quenbydata").string(), u"No such file or directory"},
        {"/dev/null", u"not a regular file"},
    };
    for (const auto& c : cases) {
        m_view = test::CFakeMainView{};
        Start(c.commandLine);
        ASSERT_EQ(m_view.m_messages.size(), 1u) << c.commandLine;
        EXPECT_NE(m_view.m_messages[0].m_strText.find(c.reason), std::u16string::npos)
            << Utf8FromUtf16(m_view.m_messages[0].m_strText);
        EXPECT_TRUE(m_controller->DataFilePath().empty());
        EXPECT_EQ(m_view.m_strCaption, u"Untitled - Quenby by Holvane");
    }
}

TEST_F(FaultInjectionTest, ACommandLineFileWithoutReadPermissionSaysWhy) {
    const std::filesystem::path file = m_home / "private.quenbydata";
    WriteBytes(file, std::string(4, '\0'));
    ASSERT_EQ(::chmod(file.c_str(), 0600), 0);
    ASSERT_EQ(::chmod(m_home.c_str(), 0755), 0);
    ASSERT_EQ(::chmod(m_root.c_str(), 0755), 0);
    // Root reads everything: the reading is done as another user, in a process of its own.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::geteuid() == 0 && ::setresuid(65534, 65534, 65534) != 0) {
            ::_exit(3);
        }
        Start(file.string());
        const bool told =
            m_view.m_messages.size() == 1 &&
            m_view.m_messages[0].m_strText.find(u"Permission denied") != std::u16string::npos &&
            m_controller->DataFilePath().empty();
        ::_exit(told ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "no clear message for a file that cannot be read";
}

TEST_F(FaultInjectionTest, ACurrentFileDeletedMeanwhileIsWrittenAgainWhole) {
    Start("");
    m_view.m_files = {m_home / "list"};
    ASSERT_TRUE(m_controller->SaveDataFileAs());
    Add(u"one");
    Add(u"two");
    std::filesystem::remove(m_home / "list.quenbydata");
    Add(u"three");
    EXPECT_EQ(RowsIn(m_home / "list.quenbydata"), 3u);
    EXPECT_TRUE(m_view.m_messages.empty());
}

TEST_F(FaultInjectionTest, ACurrentFileReplacedMeanwhileGetsTheWindowsListAtTheNextChange) {
    Start("");
    m_view.m_files = {m_home / "list"};
    ASSERT_TRUE(m_controller->SaveDataFileAs());
    Add(u"mine");
    // Another program puts a different list in its place: the list in the window stays the one
    // that is written through.
    CMessageList theirs;
    theirs.AddMessageItem(0, {u"theirs", 0, 0, false, false, 1, 2});
    theirs.AddMessageItem(1, {u"theirs too", 0, 0, false, false, 1, 2});
    ASSERT_TRUE(CDataFile(m_files, nullptr).WriteDataFile(m_home / "list.quenbydata", theirs).ok());
    Add(u"mine too");
    Expected<CMessageList> now =
        CDataFile(m_files, nullptr).ReadDataFile(m_home / "list.quenbydata");
    ASSERT_TRUE(now.ok());
    ASSERT_EQ(now.value().GetItemCount(), 2u);
    EXPECT_EQ(now.value().GetMessageText(0), u"mine");
    EXPECT_EQ(now.value().GetMessageText(1), u"mine too");
}

TEST_F(FaultInjectionTest, AMegabyteMessageAndOddFileNamesSurviveSaveAndLoad) {
    Start("");
    const std::u16string huge(1 << 19, u'\u00e9');  // 512 Ki code units: a 1 MB text
    Add(huge);
    const std::filesystem::path odd = m_home / "new\nline \xff.quenbydata";
    m_view.m_files = {odd};
    ASSERT_TRUE(m_controller->SaveDataFileAs());
    EXPECT_EQ(m_view.m_strCaption, u"new\nline \uFFFD - Quenby by Holvane");
    m_view = test::CFakeMainView{};
    Start("\"" + odd.string() + "\"");
    ASSERT_EQ(m_controller->List().GetItemCount(), 1u);
    EXPECT_EQ(m_controller->List().GetMessageText(0), huge);
}

TEST_F(FaultInjectionTest, AnUnwritableProfileLosesNothingButTheStoredShortcutSaysSo) {
    // The profile cannot be written: every write fails; reads give the defaults.
    test::CMemoryProfileStore refusing;
    for (const char* name : {"m_iCount", "StartStopAutomaticTyping Key", "m_bRandomOrder"}) {
        refusing.RefuseWritesOf(name);
    }
    CQuenbyController controller(MainWindowServices{m_view, refusing, m_files, nullptr, m_clock,
                                                    m_pointer, m_shortcut, m_shell, m_typist,
                                                    m_setters, m_running});
    controller.OnInitDialog("");
    m_view.m_strCount = u"7";
    controller.OnCountChanged();
    EXPECT_TRUE(m_view.m_messages.empty());  // a setting that cannot be stored is not an error
    m_view.m_hotKey = HotKeyCapture{0x74, true};
    controller.OnAssignHotKey();
    ASSERT_EQ(m_view.m_messages.size(), 1u);
    EXPECT_EQ(m_view.m_messages[0].m_strText, text::kHotKeyStoreFailed);
    EXPECT_EQ(controller.TypingRun().m_iCount, 7);  // the run still uses what is on screen
}

}  // namespace
}  // namespace quenby
