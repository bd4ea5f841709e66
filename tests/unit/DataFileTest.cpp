#include <gtest/gtest.h>

#include "engine/WideText.h"
#include "fakes/FakeDataProtector.h"
#include "fakes/MemoryFileStore.h"
#include "storage/DataFile.h"
#include "support/ListBuilders.h"

namespace quenby {
namespace {

using test::Item;
using test::ItemsOf;
using test::ListOf;

class DataFileTest : public ::testing::Test {
protected:
    test::CMemoryFileStore m_files;
    test::CFakeDataProtector m_protector;
    CDataFile m_dataFile{m_files, &m_protector};
};

TEST_F(DataFileTest, WritesAndReadsBothFormsByPath) {
    const std::vector<MessageItem> items = {Item(u"a", 1, 0, true), Item(u"b\u00e9", 0, 30)};
    for (const char* path : {"/d/list.quenbydata", "/d/list.quenbyencrypteddata"}) {
        ASSERT_TRUE(m_dataFile.WriteDataFile(path, ListOf(items)).ok());
        const Expected<CMessageList> back = m_dataFile.ReadDataFile(path);
        ASSERT_TRUE(back.ok()) << Utf8FromUtf16(back.reason());
        EXPECT_EQ(ItemsOf(back.value()), items);
    }
    EXPECT_EQ(m_protector.m_iProtectCalls, 2);
}

TEST_F(DataFileTest, AFailureBeforeWritingLeavesTheOldFileAlone) {
    const std::filesystem::path plain = "/d/list.quenbydata";
    const std::filesystem::path sealed = "/d/list.quenbyencrypteddata";
    ASSERT_TRUE(m_dataFile.WriteDataFile(plain, ListOf({Item(u"old")})).ok());
    ASSERT_TRUE(m_dataFile.WriteDataFile(sealed, ListOf({Item(u"old")})).ok());
    const auto before = m_files.m_files;
    const int attempts = m_files.m_iWriteAttempts;

    // A line break the plain form cannot hold, and a refused protection: nothing reaches disk.
    EXPECT_FALSE(m_dataFile.WriteDataFile(plain, ListOf({Item(u"new\nline")})).ok());
    m_protector.m_bFailProtect = true;
    const Status refused = m_dataFile.WriteDataFile(sealed, ListOf({Item(u"new")}));
    EXPECT_FALSE(refused.ok());
    EXPECT_FALSE(refused.reason().empty());
    EXPECT_EQ(m_files.m_iWriteAttempts, attempts);
    EXPECT_EQ(m_files.m_files, before);
}

TEST_F(DataFileTest, AFailedWriteIsReported) {
    m_files.m_bFailWrites = true;
    const Status status = m_dataFile.WriteDataFile("/d/x.quenbydata", ListOf({Item(u"a")}));
    ASSERT_FALSE(status.ok());
    EXPECT_NE(status.reason().find(u"No space left"), std::u16string::npos);
}

TEST_F(DataFileTest, AMissingFileIsAReasonNotAnEmptyList) {
    const Expected<CMessageList> back = m_dataFile.ReadDataFile("/nowhere.quenbydata");
    EXPECT_FALSE(back.ok());
    EXPECT_FALSE(back.reason().empty());
}

TEST_F(DataFileTest, AFileRenamedAcrossTheFormsIsRefusedNotGarbled) {
    ASSERT_TRUE(
        m_dataFile.WriteDataFile("/d/a.quenbyencrypteddata", ListOf({Item(u"x"), Item(u"y")}))
            .ok());
    m_files.m_files["/d/a.quenbydata"] = m_files.m_files["/d/a.quenbyencrypteddata"];
    EXPECT_FALSE(m_dataFile.ReadDataFile("/d/a.quenbydata").ok());

    ASSERT_TRUE(m_dataFile.WriteDataFile("/d/b.quenbydata", ListOf({Item(u"x"), Item(u"y")})).ok());
    m_files.m_files["/d/b.quenbyencrypteddata"] = m_files.m_files["/d/b.quenbydata"];
    EXPECT_FALSE(m_dataFile.ReadDataFile("/d/b.quenbyencrypteddata").ok());
}

}  // namespace
}  // namespace quenby
