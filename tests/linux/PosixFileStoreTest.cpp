#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "engine/WideText.h"
#include "linux/PosixFileStore.h"
#include "linux/TempHome.h"

namespace quenby {
namespace {

class PosixFileStoreTest : public test::TempHome {
protected:
    CPosixFileStore m_store;
};

TEST_F(PosixFileStoreTest, ReplacesWholeFilesUnderAnyNameKeepingTheirPermissions) {
    for (const std::string& name : {std::string("list.quenbydata"), std::string("two\nlines.qd"),
                                    std::string("bad\xff\xfe.qd"), std::string(250, 'n') + ".qd"}) {
        const std::filesystem::path file = m_home / name;
        ASSERT_TRUE(m_store.ReplaceFileAtomically(file, Bytes("first")).ok()) << name;
        ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
        // Whoever reads the old file meanwhile reads it whole: the new one takes its place.
        std::ifstream reader(file, std::ios::binary);
        ASSERT_TRUE(m_store.ReplaceFileAtomically(file, Bytes("second, longer")).ok()) << name;
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(reader), {}), "first") << name;
        EXPECT_EQ(m_store.ReadWholeFile(file).value(), Bytes("second, longer")) << name;
        struct stat info {};
        ASSERT_EQ(::stat(file.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, 0640u) << name;
        EXPECT_EQ(Entries(m_home), std::vector<std::filesystem::path>{name});
        std::filesystem::remove(file);
    }
    // Through a link the file it names is replaced, and the link stays; empty is a content too.
    const std::filesystem::path file = m_home / "list.quenbydata";
    const std::filesystem::path link = m_home / "link.quenbydata";
    ASSERT_TRUE(m_store.ReplaceFileAtomically(file, Bytes("a")).ok());
    std::filesystem::create_symlink(file, link);
    ASSERT_TRUE(m_store.ReplaceFileAtomically(link, {}).ok());
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_TRUE(std::filesystem::exists(file));
    EXPECT_TRUE(m_store.ReadWholeFile(link).value().empty());
}

TEST_F(PosixFileStoreTest, LeftoversOfKilledSavesGoAtTheNextSaveOrLoadButNotThoseInUse) {
    const std::filesystem::path file = m_home / "list.quenbydata";
    ASSERT_TRUE(m_store.ReplaceFileAtomically(file, Bytes("a")).ok());
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
            ASSERT_TRUE(m_store.ReplaceFileAtomically(file, Bytes("b")).ok());
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

// The folder allows the rename, but the file itself may not be written: it stays as it was. Also
// as the superuser, where only the missing write bits say so.
TEST_F(PosixFileStoreTest, AFileTheUserMayNotWriteIsNeverReplaced) {
    const std::filesystem::path file = m_home / "list.quenbydata";
    const std::filesystem::path link = m_home / "link.quenbydata";
    std::filesystem::create_symlink(file, link);
    for (const ::mode_t mode : {0444, 0400, 0000, 0044}) {
        for (const std::filesystem::path& named : {file, link}) {
            std::filesystem::remove(file);
            WriteBytes(file, "the old list");
            ASSERT_EQ(::chmod(file.c_str(), mode), 0);
            const Status status = m_store.ReplaceFileAtomically(named, Bytes("a new list"));
            ASSERT_FALSE(status.ok()) << std::oct << mode << " " << named;
            EXPECT_NE(status.reason().find(u"Permission denied"), std::u16string::npos)
                << Utf8FromUtf16(status.reason());
            ASSERT_EQ(::chmod(file.c_str(), 0600), 0);
            EXPECT_EQ(ReadText(file), "the old list") << std::oct << mode;
            EXPECT_EQ(Entries(m_home).size(), 2u) << "a temporary file was left";
        }
    }
}

TEST_F(PosixFileStoreTest, WhatCannotBeReadOrWrittenIsRefusedNamingTheFileAndWhy) {
    WriteBytes(m_home / "plain-file", "x");
    std::filesystem::create_directory(m_home / "dir");
    ASSERT_EQ(::mkfifo((m_home / "fifo").c_str(), 0600), 0);
    const struct {
        bool write;
        std::filesystem::path path;
        const char16_t* reason;
    } cases[] = {
        {false, m_home / "missing.quenbydata", u"No such file or directory"},
        {false, m_home / "dir", u"it is a folder"},
        {false, m_home / "fifo", u"not a regular file"},  // without waiting for a writer
        {true, m_home / "plain-file" / "a.quenbydata", u"Not a directory"},
        {true, m_home / "no/such/a.quenbydata", u"No such file or directory"},
        {true, m_home / "dir", u"it is a folder"},
    };
    for (const auto& c : cases) {
        const Status status = c.write ? m_store.ReplaceFileAtomically(c.path, {})
                                      : m_store.ReadWholeFile(c.path).status();
        ASSERT_FALSE(status.ok()) << c.path;
        EXPECT_NE(status.reason().find(c.reason), std::u16string::npos)
            << Utf8FromUtf16(status.reason());
        EXPECT_NE(status.reason().find(Utf16FromUtf8(c.path.native())), std::u16string::npos)
            << Utf8FromUtf16(status.reason());
    }
}

}  // namespace
}  // namespace quenby
