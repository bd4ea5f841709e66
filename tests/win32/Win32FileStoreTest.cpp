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
    void SetUp() override {
        wchar_t temporary[MAX_PATH + 1] = {};
        ::GetTempPathW(MAX_PATH + 1, temporary);
        m_folder =
            fs::path(temporary) / (L"quenby-test-" + std::to_wstring(::GetCurrentProcessId()) +
                                   L"-" + std::to_wstring(::GetTickCount64()));
        // Deep enough that the whole path is far past MAX_PATH.
        m_deep = m_folder;
        for (int i = 0; i < 6; ++i) {
            m_deep /= std::wstring(50, static_cast<wchar_t>(L'a' + i));
        }
        // Win32 calls throughout: the standard library does not take \\?\ paths everywhere.
        fs::path level = m_folder;
        ASSERT_TRUE(::CreateDirectoryW(CWin32FileStore::LongPath(level).c_str(), nullptr));
        for (const fs::path& part : m_deep.lexically_relative(m_folder)) {
            level /= part;
            ASSERT_TRUE(::CreateDirectoryW(CWin32FileStore::LongPath(level).c_str(), nullptr));
        }
    }
    void TearDown() override { RemoveTree(CWin32FileStore::LongPath(m_folder)); }

    static void RemoveTree(const std::wstring& folder) {
        for (const std::wstring& name : Names(folder)) {
            const std::wstring path = folder + L"\\" + name;
            if (!::DeleteFileW(path.c_str())) {
                RemoveTree(path);
            }
        }
        ::RemoveDirectoryW(folder.c_str());
    }
    static std::vector<std::wstring> Names(const std::wstring& folder) {
        std::vector<std::wstring> names;
        WIN32_FIND_DATAW found{};
        HANDLE search = ::FindFirstFileW((folder + L"\\*").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) {
            return names;
        }
        do {
            const std::wstring name = found.cFileName;
            if (name != L"." && name != L"..") {
                names.push_back(name);
            }
        } while (::FindNextFileW(search, &found));
        ::FindClose(search);
        return names;
    }

    // Everything in the target's folder: a save must leave no temporary file behind.
    std::vector<std::wstring> FolderContent() const {
        return Names(CWin32FileStore::LongPath(m_deep));
    }

    fs::path m_folder;
    fs::path m_deep;
    CWin32FileStore m_files;
};

const std::vector<std::uint8_t> kOld{'o', 'l', 'd', 0, 0xff};
const std::vector<std::uint8_t> kNew{'n', 'e', 'w', ' ', 'c', 'o', 'n', 't', 'e', 'n', 't'};

TEST_F(Win32FileStoreTest, ALongUnicodePathIsCreatedReplacedAndRead) {
    const fs::path file = m_deep / L"Gr\u00fc\u00dfe \u6587\u4ef6 \U0001F600.quenbydata";
    ASSERT_GT(file.native().size(), 300u);
    ASSERT_TRUE(m_files.ReplaceFileAtomically(file, kOld).ok());
    ASSERT_TRUE(m_files.ReplaceFileAtomically(file, kNew).ok());
    Expected<std::vector<std::uint8_t>> read = m_files.ReadWholeFile(file);
    ASSERT_TRUE(read.ok());
    EXPECT_EQ(read.value(), kNew);
    EXPECT_EQ(FolderContent(), std::vector<std::wstring>{file.filename().native()});
}

TEST_F(Win32FileStoreTest, ASaveThatCannotReplaceTheTargetLeavesItWhole) {
    const fs::path file = m_deep / L"list.quenbydata";
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
    EXPECT_EQ(FolderContent(), std::vector<std::wstring>{L"list.quenbydata"});
}

TEST_F(Win32FileStoreTest, LeftoversOfKilledSavesGoAtTheNextSaveButNotFilesInUse) {
    const fs::path file = m_deep / L"list.quenbydata";
    const auto create = [&](const wchar_t* name, DWORD share) {
        return ::CreateFileW(CWin32FileStore::LongPath(m_deep / name).c_str(), GENERIC_WRITE, share,
                             nullptr, CREATE_NEW, 0, nullptr);
    };
    // Killed two minutes ago: another save may have closed a fresh one a moment before it moves
    // it into place.
    HANDLE killed = create(L".list.quenbydata.k1lled00.tmp", 0);
    FILETIME now{};
    ::GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER earlier{{now.dwLowDateTime, now.dwHighDateTime}};
    earlier.QuadPart -= 2ULL * 60 * 10'000'000;
    const FILETIME then{earlier.LowPart, earlier.HighPart};
    ASSERT_TRUE(::SetFileTime(killed, nullptr, nullptr, &then));
    ::CloseHandle(killed);
    ::CloseHandle(create(L".list.quenbydata.j0stn0w0.tmp", 0));
    // Another save still writing its temporary file holds it open without sharing.
    HANDLE writing = create(L".list.quenbydata.wr1t1ng0.tmp", 0);
    ASSERT_NE(writing, INVALID_HANDLE_VALUE);
    ::CloseHandle(create(L".other.quenbydata.k1lled00.tmp", 0));
    ::CloseHandle(create(L".list.quenbydata.notmine.tmp", 0));

    ASSERT_TRUE(m_files.ReplaceFileAtomically(file, kNew).ok());
    ::CloseHandle(writing);
    std::vector<std::wstring> names = FolderContent();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::wstring>{
                         L".list.quenbydata.j0stn0w0.tmp", L".list.quenbydata.notmine.tmp",
                         L".list.quenbydata.wr1t1ng0.tmp", L".other.quenbydata.k1lled00.tmp",
                         L"list.quenbydata"}));
}

TEST_F(Win32FileStoreTest, WhatCannotBeReadOrWrittenSaysWhy) {
    const struct {
        const char* what;
        fs::path path;
        bool read;
    } cases[] = {
        {"reading a missing file", m_deep / L"missing.quenbydata", true},
        {"reading a folder", m_deep, true},
        {"saving over a folder", m_deep, false},
        {"saving into a missing folder", m_deep / L"missing" / L"x.quenbydata", false},
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
