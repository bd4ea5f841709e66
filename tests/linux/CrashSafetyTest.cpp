#include <sys/mount.h>

#include <chrono>
#include <random>
#include <thread>

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
#include "support/ChildProcess.h"

namespace quenby {
namespace {

using namespace std::chrono_literals;

// The list a data file holds, by its first text and size; nothing when it does not load.
std::optional<std::pair<std::u16string, std::size_t>> Content(const std::filesystem::path& file) {
    CPosixFileStore files;
    Expected<CMessageList> list = CDataFile(files, nullptr).ReadDataFile(file);
    if (!list.ok() || list.value().GetItemCount() == 0) {
        return std::nullopt;
    }
    return std::make_pair(list.value().GetMessageText(0), list.value().GetItemCount());
}

class CrashSafetyTest : public test::TempHome {
protected:
    // A small file system of the test's own, which it can fill up or make read-only.
    bool MountSmallDisk(const std::string& options) {
        m_disk = m_root / "disk";
        std::filesystem::create_directories(m_disk);
        m_bMounted = ::mount("tmpfs", m_disk.c_str(), "tmpfs", 0, options.c_str()) == 0;
        return m_bMounted;
    }
    void TearDown() override {
        if (m_bMounted) {
            ::umount2(m_disk.c_str(), MNT_DETACH);
        }
        TempHome::TearDown();
    }

    std::filesystem::path m_disk;
    bool m_bMounted = false;
};

TEST_F(CrashSafetyTest, AKilledSaveLeavesTheWholeOldOrTheWholeNewFile) {
    const std::filesystem::path file = m_home / "list.quenbydata";
    std::mt19937 random(42);
    std::uniform_int_distribution<int> moment(0, 400);
    int sawOld = 0;
    int sawNew = 0;
    for (int kill = 0; kill < 40; ++kill) {
        test::CChildProcess saver({QUENBY_SAVE_LOOP, file.string()});
        ASSERT_TRUE(saver.WaitForLine("SAVED", 30000));
        std::this_thread::sleep_for(std::chrono::milliseconds(moment(random)));
        saver.Signal(SIGKILL);
        saver.Wait();
        const auto content = Content(file);
        ASSERT_TRUE(content.has_value()) << "after kill " << kill;
        const bool old = content->first == u"old " && content->second == 2000;
        const bool fresh = content->first == u"new " && content->second == 3000;
        ASSERT_TRUE(old || fresh) << "after kill " << kill;
        sawOld += old ? 1 : 0;
        sawNew += fresh ? 1 : 0;
    }
    // The kills landed on both sides of the rename at least once each.
    EXPECT_GT(sawOld, 0);
    EXPECT_GT(sawNew, 0);
}

TEST_F(CrashSafetyTest, AFullDiskOrAReadOnlyFolderLeavesTheOldFileAndSaysWhy) {
    ASSERT_TRUE(MountSmallDisk("size=1m")) << "this test needs to mount a small tmpfs";
    const std::filesystem::path file = m_disk / "list.quenbydata";
    CPosixFileStore files;
    CDataFile dataFile(files, nullptr);
    CMessageList small;
    small.AddMessageItem(0, {u"kept", 0, 0, false, false, 20, 60});
    ASSERT_TRUE(dataFile.WriteDataFile(file, small).ok());

    CMessageList big;
    for (int i = 0; i < 20000; ++i) {
        big.AddMessageItem(i, {std::u16string(40, u'b'), 0, 0, false, false, 20, 60});
    }
    const Status full = dataFile.WriteDataFile(file, big);
    ASSERT_FALSE(full.ok());
    EXPECT_NE(full.reason().find(u"No space left on device"), std::u16string::npos)
        << Utf8FromUtf16(full.reason());
    EXPECT_EQ(Content(file), std::make_pair(std::u16string(u"kept"), std::size_t{1}));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_disk),
                            std::filesystem::directory_iterator()),
              1);  // no temporary file left behind

    ASSERT_EQ(::mount(nullptr, m_disk.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0);
    const Status readOnly = dataFile.WriteDataFile(file, small);
    ASSERT_FALSE(readOnly.ok());
    EXPECT_NE(readOnly.reason().find(u"Read-only file system"), std::u16string::npos);
    EXPECT_EQ(Content(file), std::make_pair(std::u16string(u"kept"), std::size_t{1}));
}

TEST_F(CrashSafetyTest, TheUserIsToldAndTheListKeepsItsContent) {
    ASSERT_TRUE(MountSmallDisk("size=64k")) << "this test needs to mount a small tmpfs";
    test::CFakeMainView view;
    test::CMemoryProfileStore profile;
    CPosixFileStore files;
    test::CVirtualClock clock;
    test::CFakePointer pointer;
    test::CFakeGlobalShortcut shortcut;
    test::CFakeShellActions shell;
    test::CFakeTextSetterFactory setters;
    test::CRecordingKeyboard keyboard;
    std::atomic<bool> running{false};
    CSynchronousTypist typist(KeystrokeServices{keyboard, setters, clock, running});
    CQuenbyController controller(MainWindowServices{view, profile, files, nullptr, clock, pointer,
                                                    shortcut, shell, typist, setters, running});
    controller.OnInitDialog("");
    view.m_files = {m_disk / "list"};
    ASSERT_TRUE(controller.SaveDataFileAs());
    // Messages until the disk is full.
    for (int i = 0; i < 400 && view.m_messages.empty(); ++i) {
        view.m_editorScript = test::EditorEnters(test::Fields(std::u16string(100, u'm')));
        controller.OnAddNew();
    }
    ASSERT_FALSE(view.m_messages.empty());
    EXPECT_EQ(view.m_messages[0].m_strText.rfind(text::kStoreFailed, 0), 0u);
    EXPECT_NE(view.m_messages[0].m_strText.find(u"No space left on device"), std::u16string::npos);
    const std::size_t rows = controller.List().GetItemCount();
    EXPECT_EQ(Content(m_disk / "list.quenbydata")->second, rows - 1);  // the last good save

    // Closing asks, and a save elsewhere keeps everything.
    view.m_answers = {EMessageResult::Yes};
    view.m_files = {m_home / "rescued.quenbydata"};
    controller.OnClose();
    EXPECT_TRUE(view.m_bDestroyed);
    EXPECT_EQ(Content(m_home / "rescued.quenbydata")->second, rows);
}

}  // namespace
}  // namespace quenby
