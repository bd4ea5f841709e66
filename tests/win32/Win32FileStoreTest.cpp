// Whole-file reads and atomic saves on real files, by long Unicode paths.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "support/Win32TestSupport.h"
#include "win32/Win32FileStore.h"

namespace quenby {
namespace {

namespace fs = std::filesystem;

// A folder of its own under the temporary folder, removed afterwards.
class Win32FileStoreTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(fs::create_directory(m_folder)); }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(m_folder, ignored);
    }
    // Everything in the folder: a save must leave no temporary file behind.
    std::vector<std::wstring> FolderContent() const {
        std::vector<std::wstring> names;
        for (const fs::directory_entry& entry : fs::directory_iterator(m_folder)) {
            names.push_back(entry.path().filename());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    const fs::path m_folder =
        fs::temp_directory_path() / (L"quenby-test-" + std::to_wstring(::GetCurrentProcessId()) +
                                     L"-" + std::to_wstring(::GetTickCount64()));
    CWin32FileStore m_files;
};

const std::vector<std::uint8_t> kOld{'o', 'l', 'd', 0, 0xff};
const std::vector<std::uint8_t> kNew{'n', 'e', 'w', ' ', 'c', 'o', 'n', 't', 'e', 'n', 't'};

TEST_F(Win32FileStoreTest, ALongUnicodePathIsCreatedReplacedAndRead) {
    // Deep enough that the whole path is far past MAX_PATH. Win32 calls for it throughout: the
    // standard library does not take \\?\ paths everywhere.
    std::vector<fs::path> levels{m_folder};
    for (wchar_t letter = L'a'; letter < L'g'; ++letter) {
        levels.push_back(levels.back() / std::wstring(50, letter));
        ASSERT_TRUE(::CreateDirectoryW(CWin32FileStore::LongPath(levels.back()).c_str(), nullptr));
    }
    // Such paths are taken literally: made absolute and normal first.
    EXPECT_EQ(CWin32FileStore::LongPath(L"C:/a/../b"), L"\\\\?\\C:\\b");
    const fs::path file = levels.back() / L"Gr\u00fc\u00dfe \u6587\u4ef6 \U0001F600.quenbydata";
    ASSERT_GT(file.native().size(), 300u);
    ASSERT_TRUE(m_files.ReplaceFileAtomically(file, kOld).ok());
    ASSERT_TRUE(m_files.ReplaceFileAtomically(file, kNew).ok());
    Expected<std::vector<std::uint8_t>> read = m_files.ReadWholeFile(file);
    ASSERT_TRUE(read.ok());
    EXPECT_EQ(read.value(), kNew);
    // Only the file was left: once it is deleted, every folder down to it can be removed.
    EXPECT_TRUE(::DeleteFileW(CWin32FileStore::LongPath(file).c_str()));
    for (auto level = levels.rbegin(); level != levels.rend() - 1; ++level) {
        EXPECT_TRUE(::RemoveDirectoryW(CWin32FileStore::LongPath(*level).c_str()));
    }
}

TEST_F(Win32FileStoreTest, ASaveThatCannotReplaceTheTargetLeavesItWhole) {
    const fs::path file = m_folder / L"list.quenbydata";
    ASSERT_TRUE(m_files.ReplaceFileAtomically(file, kOld).ok());
    // Another program holds the target open without sharing deletion, as an editor or a virus
    // scanner may: the target cannot be replaced (nor its folder entry changed) meanwhile.
    HANDLE held = ::CreateFileW(CWin32FileStore::LongPath(file).c_str(), GENERIC_READ,
                                FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const Status saved = m_files.ReplaceFileAtomically(file, kNew);
    ::CloseHandle(held);
    EXPECT_FALSE(saved.ok());
    EXPECT_NE(saved.reason().find(u"Could not save"), std::u16string::npos);
    Expected<std::vector<std::uint8_t>> read = m_files.ReadWholeFile(file);
    ASSERT_TRUE(read.ok());
    EXPECT_EQ(read.value(), kOld);
    // Nothing of the save is left beside it. (Wine's ReplaceFileW, failing, leaves a file of its
    // own there, "rf*.tmp".)
    for (const std::wstring& name : FolderContent()) {
        EXPECT_FALSE(name.starts_with(L".list.quenbydata.")) << testing::PrintToString(name);
    }
}

TEST_F(Win32FileStoreTest, AFileMarkedReadOnlyIsNotReplacedAndKeepsItsMark) {
    const fs::path file = m_folder / L"list.quenbydata";
    const std::wstring name = CWin32FileStore::LongPath(file);
    ASSERT_TRUE(m_files.ReplaceFileAtomically(file, kOld).ok());
    ASSERT_TRUE(::SetFileAttributesW(name.c_str(), FILE_ATTRIBUTE_READONLY));
    const Status saved = m_files.ReplaceFileAtomically(file, kNew);
    EXPECT_FALSE(saved.ok());
    EXPECT_NE(saved.reason().find(u"read-only"), std::u16string::npos);
    EXPECT_NE(::GetFileAttributesW(name.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
    Expected<std::vector<std::uint8_t>> read = m_files.ReadWholeFile(file);
    ASSERT_TRUE(read.ok());
    EXPECT_EQ(read.value(), kOld);
    EXPECT_EQ(FolderContent(), std::vector<std::wstring>{L"list.quenbydata"});
    // Writable again, it is saved as any other.
    ASSERT_TRUE(::SetFileAttributesW(name.c_str(), FILE_ATTRIBUTE_NORMAL));
    EXPECT_TRUE(m_files.ReplaceFileAtomically(file, kNew).ok());
}

TEST_F(Win32FileStoreTest, LeftoversOfKilledSavesGoAtTheNextSaveButNotFilesInUse) {
    const fs::path file = m_folder / L"list.quenbydata";
    const auto create = [&](const wchar_t* name, DWORD share) {
        return ::CreateFileW(CWin32FileStore::LongPath(m_folder / name).c_str(), GENERIC_WRITE,
                             share, nullptr, CREATE_NEW, 0, nullptr);
    };
    // Left two minutes ago by a killed save, or still written by another that holds it open
    // without sharing; and just closed by a save that is about to move it into place.
    FILETIME now{};
    ::GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER earlier{{now.dwLowDateTime, now.dwHighDateTime}};
    earlier.QuadPart -= 2ULL * 60 * 10'000'000;
    const FILETIME then{earlier.LowPart, earlier.HighPart};
    HANDLE killed = create(L".list.quenbydata.k1lled00.tmp", 0);
    HANDLE writing = create(L".list.quenbydata.wr1t1ng0.tmp", 0);
    for (HANDLE handle : {killed, writing}) {
        ASSERT_TRUE(::SetFileTime(handle, nullptr, nullptr, &then));
    }
    ::CloseHandle(killed);
    ::CloseHandle(create(L".list.quenbydata.j0stn0w0.tmp", 0));
    ::CloseHandle(create(L".other.quenbydata.k1lled00.tmp", 0));
    ::CloseHandle(create(L".list.quenbydata.notmine.tmp", 0));

    ASSERT_TRUE(m_files.ReplaceFileAtomically(file, kNew).ok());
    ::CloseHandle(writing);
    EXPECT_EQ(FolderContent(),
              (std::vector<std::wstring>{L".list.quenbydata.j0stn0w0.tmp",
                                         L".list.quenbydata.notmine.tmp",
                                         L".list.quenbydata.wr1t1ng0.tmp",
                                         L".other.quenbydata.k1lled00.tmp", L"list.quenbydata"}));
}

TEST_F(Win32FileStoreTest, WhatCannotBeReadOrWrittenSaysWhy) {
    const struct {
        const char* what;
        fs::path path;
        bool read;
    } cases[] = {
        {"reading a missing file", m_folder / L"missing.quenbydata", true},
        {"reading a folder", m_folder, true},
        {"saving over a folder", m_folder, false},
        {"saving into a missing folder", m_folder / L"missing" / L"x.quenbydata", false},
    };
    for (const auto& c : cases) {
        const Status status = c.read ? m_files.ReadWholeFile(c.path).status()
                                     : m_files.ReplaceFileAtomically(c.path, kNew);
        EXPECT_FALSE(status.ok()) << c.what;
        EXPECT_FALSE(status.reason().empty()) << c.what;
    }
    EXPECT_TRUE(FolderContent().empty());
}

}  // namespace
}  // namespace quenby
