#include "linux/PosixFileStore.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <new>
#include <random>
#include <string>
#include <system_error>

#include "engine/WideText.h"

namespace quenby {
namespace {

std::u16string ErrnoText(int error) {
    return Utf16FromUtf8(std::generic_category().message(error));
}

std::u16string Quoted(const std::filesystem::path& path) {
    std::u16string quoted(1, u'"');
    quoted.append(Utf16FromUtf8(path.native())).push_back(u'"');
    return quoted;
}

Status ReadFailure(const std::filesystem::path& path, const std::u16string& why) {
    return Status::Fail(u"Could not read " + Quoted(path) + u": " + why);
}

Status WriteFailure(const std::filesystem::path& path, const std::u16string& why) {
    return Status::Fail(u"Could not save " + Quoted(path) + u": " + why);
}

// Closes a descriptor on every way out.
class CFileDescriptor {
public:
    explicit CFileDescriptor(int fd) : m_fd(fd) {}
    ~CFileDescriptor() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    CFileDescriptor(const CFileDescriptor&) = delete;
    CFileDescriptor& operator=(const CFileDescriptor&) = delete;

    int Get() const { return m_fd; }
    bool Valid() const { return m_fd >= 0; }
    // Closes now and reports the error a delayed write may only show at close.
    int Close() {
        const int result = ::close(m_fd);
        m_fd = -1;
        return result == 0 ? 0 : errno;
    }

private:
    int m_fd;
};

int WriteAll(int fd, std::span<const std::uint8_t> content) {
    std::size_t done = 0;
    while (done < content.size()) {
        const ssize_t written = ::write(fd, content.data() + done, content.size() - done);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        done += static_cast<std::size_t>(written);
    }
    return 0;
}

// The file a write must land in: a link is followed, so the link itself stays a link.
std::filesystem::path ResolveTarget(const std::filesystem::path& path) {
    std::error_code error;
    if (std::filesystem::is_symlink(path, error)) {
        std::filesystem::path resolved = std::filesystem::weakly_canonical(path, error);
        if (!error) {
            return resolved;
        }
    }
    return path;
}

constexpr char kSuffixLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
constexpr std::size_t kSuffixLength = 8;

// The part of a temporary file's name that comes from its target: short enough for any name.
std::string TemporaryBase(const std::filesystem::path& target) {
    std::string base = target.filename().string();
    if (base.size() > 200) {
        base.resize(200);
    }
    return "." + base + ".";
}

// True for ".NAME.xxxxxxxx.tmp", the name of a temporary file of this target.
bool IsTemporaryOf(std::string_view entry, std::string_view base) {
    constexpr std::string_view kTmp = ".tmp";
    if (entry.size() != base.size() + kSuffixLength + kTmp.size() || !entry.starts_with(base) ||
        !entry.ends_with(kTmp)) {
        return false;
    }
    const std::string_view suffix = entry.substr(base.size(), kSuffixLength);
    return suffix.find_first_not_of(kSuffixLetters) == std::string_view::npos;
}

// Removes the temporary files of `target` that no save holds locked: a save killed midway left
// them, and they would otherwise stay beside the data file for good.
void RemoveLeftovers(const std::filesystem::path& target) {
    const std::filesystem::path folder =
        target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
    const std::string base = TemporaryBase(target);
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) {
        return;
    }
    while (const dirent* entry = ::readdir(dir)) {
        if (!IsTemporaryOf(entry->d_name, base)) {
            continue;
        }
        const std::filesystem::path leftover = folder / entry->d_name;
        const int fd = ::open(leftover.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        struct stat info {};
        if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
            ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            ::unlink(leftover.c_str());
        }
        ::close(fd);
    }
    ::closedir(dir);
}

// True when `path` still names the file open as `fd`.
bool StillNames(int fd, const std::filesystem::path& path) {
    struct stat open {};
    struct stat named {};
    return ::fstat(fd, &open) == 0 && ::stat(path.c_str(), &named) == 0 &&
           open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

// Why the user may not replace the existing file `target`, or 0. The rename of a save needs only
// the folder's permission, so it would put a new file in the place of one the user may not
// write: the file's own permission (mode, ACL, read-only mount) is asked first. The superuser
// passes every such check, yet a file without a single write bit was made read-only on purpose,
// so that is refused for everybody.
int WriteRefusal(const std::filesystem::path& target, const struct stat& existing) {
    if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) {
        return errno;
    }
    return (existing.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 ? EACCES : 0;
}

std::string RandomSuffix() {
    std::random_device source;
    std::string suffix;
    for (std::size_t i = 0; i < kSuffixLength; ++i) {
        suffix.push_back(kSuffixLetters[source() % (sizeof kSuffixLetters - 1)]);
    }
    return suffix;
}

}  // namespace

bool CPosixFileStore::Exists(const std::filesystem::path& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

Expected<std::vector<std::uint8_t>> CPosixFileStore::ReadWholeFile(
    const std::filesystem::path& path) {
    RemoveLeftovers(ResolveTarget(path));
    // Non-blocking, so that naming a FIFO cannot hang the program before the type check.
    CFileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd.Valid()) {
        return ReadFailure(path, ErrnoText(errno));
    }
    struct stat info {};
    if (::fstat(fd.Get(), &info) != 0) {
        return ReadFailure(path, ErrnoText(errno));
    }
    if (S_ISDIR(info.st_mode)) {
        return ReadFailure(path, u"it is a folder, not a file.");
    }
    if (!S_ISREG(info.st_mode)) {
        return ReadFailure(path, u"it is not a regular file.");
    }
    std::vector<std::uint8_t> content;
    try {
        content.resize(static_cast<std::size_t>(info.st_size));
    } catch (const std::bad_alloc&) {
        return ReadFailure(path, u"there is not enough memory for a file of this size.");
    }
    std::size_t done = 0;
    for (;;) {
        if (done == content.size()) {
            // The file may have grown since fstat: keep reading until the end.
            content.resize(content.size() + 65536);
        }
        const ssize_t got = ::read(fd.Get(), content.data() + done, content.size() - done);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return ReadFailure(path, ErrnoText(errno));
        }
        if (got == 0) {
            break;
        }
        done += static_cast<std::size_t>(got);
    }
    content.resize(done);
    return content;
}

Status CPosixFileStore::ReplaceFileAtomically(const std::filesystem::path& path,
                                              std::span<const std::uint8_t> content) {
    const std::filesystem::path target = ResolveTarget(path);
    const std::filesystem::path folder =
        target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
    struct stat existing {};
    const bool exists = ::stat(target.c_str(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode)) {
        return WriteFailure(path, u"it is a folder, not a file.");
    }
    if (const int refused = exists ? WriteRefusal(target, existing) : 0; refused != 0) {
        return WriteFailure(path, ErrnoText(refused));
    }

    RemoveLeftovers(target);
    // Beside the target, so the rename stays on one file system.
    const std::string base = TemporaryBase(target);
    std::filesystem::path temporary;
    int fdValue = -1;
    for (int attempt = 0; attempt < 100 && fdValue < 0; ++attempt) {
        temporary = folder / (base + RandomSuffix() + ".tmp");
        fdValue = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fdValue < 0 && errno != EEXIST) {
            return WriteFailure(path, ErrnoText(errno));
        }
        // Locked while written, so another save's clean-up leaves it alone. That clean-up may
        // have taken it between the open and the lock: then start again with another name.
        if (fdValue >= 0 && (::flock(fdValue, LOCK_EX) != 0 || !StillNames(fdValue, temporary))) {
            ::close(fdValue);
            fdValue = -1;
        }
    }
    if (fdValue < 0) {
        return WriteFailure(path, ErrnoText(EEXIST));
    }
    CFileDescriptor fd(fdValue);
    auto fail = [&](int error) {
        if (fd.Valid()) {
            fd.Close();
        }
        ::unlink(temporary.c_str());
        return WriteFailure(path, ErrnoText(error));
    };
    // The new file keeps the permissions of the one it replaces.
    if (exists && ::fchmod(fd.Get(), existing.st_mode & 07777) != 0) {
        return fail(errno);
    }
    if (int error = WriteAll(fd.Get(), content); error != 0) {
        return fail(error);
    }
    if (::fsync(fd.Get()) != 0) {
        return fail(errno);
    }
    // Renamed while still open and locked, so that another save's clean-up cannot take the file
    // between closing and renaming. The data is on the disk already: closing cannot lose it.
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        return fail(errno);
    }
    (void)fd.Close();
    // Make the rename itself durable; the data is already safe if this fails.
    CFileDescriptor folderFd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folderFd.Valid()) {
        ::fsync(folderFd.Get());
    }
    return Status::Ok();
}

}  // namespace quenby
