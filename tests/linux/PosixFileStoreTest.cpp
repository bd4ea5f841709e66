#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>

#include "engine/WideText.h"
#include "linux/PosixFileStore.h"
#include "linux/TempHome.h"

namespace quenby {
namespace {

class PosixFileStoreTest : public test::TempHome {
protected:
    std::vector<std::filesystem::path> FolderEntries(const std::filesystem::path& folder) {
        std::vector<std::filesystem::path> entries;
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            entries.push_back(entry.path().filename());
        }
        return entries;
    }
    static std::vector<std::uint8_t> Content(const std::string& text) {
        return {text.begin(), text.end()};
    }

    CPosixFileStore m_store;
};

TEST_F(PosixFileStoreTest, ReplacesAndCreatesWholeFilesLeavingNothingBehind) {
    const std::filesystem::path file = m_home / "list.quenbydata";
    ASSERT_TRUE(m_store.ReplaceFileAtomically(file, Content("first")).ok());
    ASSERT_TRUE(m_store.ReplaceFileAtomically(file, Content("second, longer")).ok());
    EXPECT_EQ(ReadBytes(file), Content("second, longer"));
    ASSERT_TRUE(m_store.ReplaceFileAtomically(file, {}).ok());
    EXPECT_EQ(ReadBytes(file), Content(""));
    EXPECT_EQ(FolderEntries(m_home), std::vector<std::filesystem::path>{"list.quenbydata"});

    const Expected<std::vector<std::uint8_t>> read = m_store.ReadWholeFile(file);
    ASSERT_TRUE(read.ok());
    EXPECT_TRUE(read.value().empty());
}

TEST_F(PosixFileStoreTest, KeepsPermissionsAndLinks) {
    const std::filesystem::path file = m_home / "list.quenbydata";
    ASSERT_TRUE(m_store.ReplaceFileAtomically(file, Content("a")).ok());
    ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
    const std::filesystem::path link = m_home / "link.quenbydata";
    std::filesystem::create_symlink(file, link);

    ASSERT_TRUE(m_store.ReplaceFileAtomically(link, Content("through the link")).ok());
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(ReadBytes(file), Content("through the link"));
    struct stat info {};
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
}

TEST_F(PosixFileStoreTest, LeftoversOfKilledSavesGoAtTheNextSaveOrLoadButNotThoseInUse) {
    const std::filesystem::path file = m_home / "list.quenbydata";
    ASSERT_TRUE(m_store.ReplaceFileAtomically(file, Content("a")).ok());
    const std::filesystem::path killed = m_home / ".list.quenbydata.k1ll3d00.tmp";
    const std::filesystem::path inUse = m_home / ".list.quenbydata.busy0000.tmp";
    const std::vector<std::filesystem::path> others = {
        m_home / ".other.quenbydata.k1ll3d00.tmp",  // another file's: its own save cleans it
        m_home / ".list.quenbydata.notours.tmp",    // not a name a save makes
        m_home / ".list.quenbydata.k1ll3d00.tmp~",
    };
    for (const auto& path : others) {
        WriteBytes(path, "x");
    }
    // Another save still writing holds its file locked.
    WriteBytes(inUse, "x");
    const int held = ::open(inUse.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);

    for (const bool save : {true, false}) {
        WriteBytes(killed, "half a list");
        if (save) {
            ASSERT_TRUE(m_store.ReplaceFileAtomically(file, Content("b")).ok());
        } else {
            ASSERT_TRUE(m_store.ReadWholeFile(file).ok());
        }
        EXPECT_FALSE(std::filesystem::exists(killed)) << (save ? "save" : "load");
        EXPECT_TRUE(std::filesystem::exists(inUse)) << (save ? "save" : "load");
        for (const auto& path : others) {
            EXPECT_TRUE(std::filesystem::exists(path)) << path;
        }
    }
    ::close(held);
    EXPECT_TRUE(m_store.Exists(file));
    EXPECT_TRUE(m_store.Exists(m_home));
    EXPECT_FALSE(m_store.Exists(m_home / "list"));
}

TEST_F(PosixFileStoreTest, AWriteThatFailsHalfwayLeavesTheOldFileWhole) {
    const std::filesystem::path file = m_home / "list.quenbydata";
    ASSERT_TRUE(m_store.ReplaceFileAtomically(file, Content("the old list")).ok());
    // A file size limit makes the kernel refuse the write part-way, as a full disk would.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const Status status =
        m_store.ReplaceFileAtomically(file, std::vector<std::uint8_t>(100000, 0x41));
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &old), 0);

    ASSERT_FALSE(status.ok());
    EXPECT_NE(status.reason().find(u"File too large"), std::u16string::npos)
        << Utf8FromUtf16(status.reason());
    EXPECT_EQ(ReadBytes(file), Content("the old list"));
    EXPECT_EQ(FolderEntries(m_home), std::vector<std::filesystem::path>{"list.quenbydata"});
}

TEST_F(PosixFileStoreTest, WritesThatCannotStartAreReported) {
    const std::filesystem::path notAFolder = m_home / "plain-file";
    WriteBytes(notAFolder, "x");
    const Status throughFile = m_store.ReplaceFileAtomically(notAFolder / "a.quenbydata", {});
    ASSERT_FALSE(throughFile.ok());
    EXPECT_NE(throughFile.reason().find(u"Not a directory"), std::u16string::npos);

    const Status missingFolder = m_store.ReplaceFileAtomically(m_home / "no/such/a.quenbydata", {});
    EXPECT_FALSE(missingFolder.ok());

    std::filesystem::create_directory(m_home / "folder.quenbydata");
    const Status onFolder = m_store.ReplaceFileAtomically(m_home / "folder.quenbydata", {});
    ASSERT_FALSE(onFolder.ok());
    EXPECT_NE(onFolder.reason().find(u"folder"), std::u16string::npos);
}

TEST_F(PosixFileStoreTest, ReadsRefuseWhatIsNotARegularFile) {
    struct Case {
        std::filesystem::path path;
        const char16_t* reason;
    };
    std::filesystem::create_directory(m_home / "dir");
    ASSERT_EQ(::mkfifo((m_home / "fifo").c_str(), 0600), 0);
    const Case cases[] = {
        {m_home / "missing.quenbydata", u"No such file or directory"},
        {m_home / "dir", u"it is a folder"},
        {m_home / "fifo", u"not a regular file"},  // must not block waiting for a writer
    };
    for (const Case& c : cases) {
        const Expected<std::vector<std::uint8_t>> read = m_store.ReadWholeFile(c.path);
        ASSERT_FALSE(read.ok()) << c.path;
        EXPECT_NE(read.reason().find(c.reason), std::u16string::npos)
            << Utf8FromUtf16(read.reason());
        EXPECT_NE(read.reason().find(Utf16FromUtf8(c.path.native())), std::u16string::npos);
    }
}

TEST_F(PosixFileStoreTest, NamesWithNewlinesAndInvalidUtf8AreFilesLikeAnyOther) {
    const std::string names[] = {"two\nlines.quenbydata", "bad\xff\xfe.quenbydata",
                                 std::string(250, 'n') + ".qd"};
    for (const std::string& name : names) {
        const std::filesystem::path file = m_home / name;
        ASSERT_TRUE(m_store.ReplaceFileAtomically(file, Content("x")).ok()) << name;
        const Expected<std::vector<std::uint8_t>> read = m_store.ReadWholeFile(file);
        ASSERT_TRUE(read.ok());
        EXPECT_EQ(read.value(), Content("x"));
    }
}

}  // namespace
}  // namespace quenby
