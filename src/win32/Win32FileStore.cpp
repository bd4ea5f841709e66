#include "win32/Win32FileStore.h"

#include <windows.h>

#include <random>

#include "win32/Win32Text.h"

namespace quenby {
namespace {

std::u16string Quoted(const std::filesystem::path& path) {
    // Appended, not "\"" + text: GCC 12 at -O3 warns falsely (-Wrestrict) about that form.
    std::u16string quoted(1, u'"');
    quoted.append(Utf16FromWide(path.native())).push_back(u'"');
    return quoted;
}

Status ReadFailure(const std::filesystem::path& path, const std::u16string& why) {
    return Status::Fail(u"Could not read " + Quoted(path) + u": " + why);
}

Status WriteFailure(const std::filesystem::path& path, const std::u16string& why) {
    return Status::Fail(u"Could not save " + Quoted(path) + u": " + why);
}

// Closes a handle on every way out.
class CHandle {
public:
    explicit CHandle(HANDLE handle) : m_handle(handle) {}
    ~CHandle() { Close(); }
    CHandle(const CHandle&) = delete;
    CHandle& operator=(const CHandle&) = delete;

    HANDLE Get() const { return m_handle; }
    bool Valid() const { return m_handle != INVALID_HANDLE_VALUE; }
    void Reset(HANDLE handle) {
        Close();
        m_handle = handle;
    }
    // Closes now; false with the error when closing fails.
    bool Close() {
        if (!Valid()) {
            return true;
        }
        const BOOL closed = ::CloseHandle(m_handle);
        m_handle = INVALID_HANDLE_VALUE;
        return closed != 0;
    }

private:
    HANDLE m_handle;
};

DWORD WriteAll(HANDLE file, std::span<const std::uint8_t> content) {
    std::size_t done = 0;
    while (done < content.size()) {
        const DWORD chunk =
            static_cast<DWORD>(std::min<std::size_t>(content.size() - done, 1u << 30));
        DWORD written = 0;
        if (!::WriteFile(file, content.data() + done, chunk, &written, nullptr)) {
            return ::GetLastError();
        }
        done += written;
    }
    return ERROR_SUCCESS;
}

constexpr wchar_t kSuffixLetters[] = L"abcdefghijklmnopqrstuvwxyz0123456789";
constexpr std::size_t kSuffixLength = 8;

std::wstring RandomSuffix() {
    std::random_device source;
    std::wstring suffix;
    for (std::size_t i = 0; i < kSuffixLength; ++i) {
        suffix.push_back(kSuffixLetters[source() % (std::size(kSuffixLetters) - 1)]);
    }
    return suffix;
}

// ".NAME.": how every temporary file of the target begins; short enough for any name.
std::wstring TemporaryBase(const std::filesystem::path& target) {
    std::wstring base = target.filename().native();
    if (base.size() > 200) {
        base.resize(200);
    }
    std::wstring start = L".";
    start.append(base).push_back(L'.');
    return start;
}

// True for ".NAME.xxxxxxxx.tmp", the name of a temporary file of this target.
bool IsTemporaryOf(std::wstring_view entry, std::wstring_view base) {
    constexpr std::wstring_view kTmp = L".tmp";
    if (entry.size() != base.size() + kSuffixLength + kTmp.size() || !entry.starts_with(base) ||
        !entry.ends_with(kTmp)) {
        return false;
    }
    return entry.substr(base.size(), kSuffixLength).find_first_not_of(kSuffixLetters) ==
           std::wstring_view::npos;
}

// Removes the temporary files of the target (in its long form) that a killed save left behind.
// A save holds its temporary file open without sharing while it writes it, so the deletion fails
// for a file another save is still writing; between closing it and moving it into place, though,
// the file is open to anyone, so a file written in the last minute is left alone as well.
void RemoveLeftovers(const std::filesystem::path& target) {
    constexpr ULONGLONG kMinuteIn100ns = 60ULL * 10'000'000ULL;
    FILETIME now{};
    ::GetSystemTimeAsFileTime(&now);
    const auto ticks = [](const FILETIME& time) {
        return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    };
    const std::wstring base = TemporaryBase(target);
    const std::wstring folder = target.parent_path().native();
    WIN32_FIND_DATAW found{};
    HANDLE search = ::FindFirstFileW((folder + L"\\" + base + L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
            IsTemporaryOf(found.cFileName, base) &&
            ticks(now) - ticks(found.ftLastWriteTime) > kMinuteIn100ns) {
            ::DeleteFileW((folder + L"\\" + found.cFileName).c_str());
        }
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
}

}  // namespace

std::wstring CWin32FileStore::LongPath(const std::filesystem::path& path) {
    std::wstring text = path.native();
    if (text.rfind(L"\\\\?\\", 0) == 0) {
        return text;
    }
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(path, error);
    if (error) {
        absolute = path;
    }
    // \\?\ paths are taken literally: no "." or "..", no forward slashes.
    text = absolute.lexically_normal().make_preferred().native();
    if (text.rfind(L"\\\\", 0) == 0) {
        return L"\\\\?\\UNC\\" + text.substr(2);
    }
    return L"\\\\?\\" + text;
}

bool CWin32FileStore::Exists(const std::filesystem::path& path) {
    return ::GetFileAttributesW(LongPath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

Expected<std::vector<std::uint8_t>> CWin32FileStore::ReadWholeFile(
    const std::filesystem::path& path) {
    const std::wstring name = LongPath(path);
    RemoveLeftovers(std::filesystem::path(name));
    const DWORD attributes = ::GetFileAttributesW(name.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return ReadFailure(path, u"it is a folder, not a file.");
    }
    CHandle file(::CreateFileW(name.c_str(), GENERIC_READ,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) {
        return ReadFailure(path, ErrorText(::GetLastError()));
    }
    if (::GetFileType(file.Get()) != FILE_TYPE_DISK) {
        return ReadFailure(path, u"it is not a regular file.");
    }
    std::vector<std::uint8_t> content;
    std::size_t done = 0;
    for (;;) {
        // The file may grow while it is read: read until the end, whatever its size was.
        if (done == content.size()) {
            try {
                content.resize(content.size() + 65536);
            } catch (const std::bad_alloc&) {
                return ReadFailure(path, u"there is not enough memory for a file of this size.");
            }
        }
        DWORD got = 0;
        if (!::ReadFile(file.Get(), content.data() + done,
                        static_cast<DWORD>(content.size() - done), &got, nullptr)) {
            return ReadFailure(path, ErrorText(::GetLastError()));
        }
        if (got == 0) {
            break;
        }
        done += got;
    }
    content.resize(done);
    return content;
}

Status CWin32FileStore::ReplaceFileAtomically(const std::filesystem::path& path,
                                              std::span<const std::uint8_t> content) {
    const std::filesystem::path target(LongPath(path));
    const DWORD attributes = ::GetFileAttributesW(target.c_str());
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (exists && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return WriteFailure(path, u"it is a folder, not a file.");
    }
    // The move below replaces the folder entry, which needs no right to write the file itself:
    // a file the user marked read-only, or may not write, would be replaced all the same.
    if (exists && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        return WriteFailure(path, u"it is marked read-only.");
    }
    if (exists) {
        CHandle writable(::CreateFileW(target.c_str(), GENERIC_WRITE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        // Only a refusal counts: a file another program holds open is left to the move to judge.
        if (!writable.Valid() && ::GetLastError() == ERROR_ACCESS_DENIED) {
            return WriteFailure(path, ErrorText(ERROR_ACCESS_DENIED));
        }
    }

    RemoveLeftovers(target);
    // Beside the target, so the move stays on one volume.
    const std::wstring base = TemporaryBase(target);
    std::wstring temporary;
    CHandle file(INVALID_HANDLE_VALUE);
    for (int attempt = 0; attempt < 100 && !file.Valid(); ++attempt) {
        temporary = (target.parent_path() / (base + RandomSuffix() + L".tmp")).native();
        file.Reset(::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.Valid() && ::GetLastError() != ERROR_FILE_EXISTS) {
            return WriteFailure(path, ErrorText(::GetLastError()));
        }
    }
    if (!file.Valid()) {
        return WriteFailure(path, ErrorText(ERROR_FILE_EXISTS));
    }
    auto fail = [&](DWORD error) {
        file.Close();
        ::DeleteFileW(temporary.c_str());
        return WriteFailure(path, ErrorText(error));
    };
    if (DWORD error = WriteAll(file.Get(), content); error != ERROR_SUCCESS) {
        return fail(error);
    }
    if (!::FlushFileBuffers(file.Get())) {
        return fail(::GetLastError());
    }
    if (!file.Close()) {
        return fail(::GetLastError());
    }
    // ReplaceFileW keeps what the target had (attributes, security, creation time); where it
    // cannot be used (a file system without that support) the plain move still replaces whole.
    if (exists && ::ReplaceFileW(target.c_str(), temporary.c_str(), nullptr,
                                 REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
        return Status::Ok();
    }
    if (!::MoveFileExW(temporary.c_str(), target.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return fail(::GetLastError());
    }
    return Status::Ok();
}

}  // namespace quenby
