#include "linux/PosixFileStore.h"

#include <fcntl.h>
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

std::string RandomSuffix() {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device source;
    std::string suffix;
    for (int i = 0; i < 8; ++i) {
        suffix.push_back(kLetters[source() % (sizeof kLetters - 1)]);
    }
    return suffix;
}

}  // namespace

Expected<std::vector<std::uint8_t>> CPosixFileStore::ReadWholeFile(
    const std::filesystem::path& path) {
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

    // Beside the target, so the rename stays on one file system; short enough for any name.
    std::string base = target.filename().string();
    if (base.size() > 200) {
        base.resize(200);
    }
    std::filesystem::path temporary;
    int fdValue = -1;
    for (int attempt = 0; attempt < 100 && fdValue < 0; ++attempt) {
        std::string name = ".";
        name.append(base).append(".").append(RandomSuffix()).append(".tmp");
        temporary = folder / name;
        fdValue = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fdValue < 0 && errno != EEXIST) {
            return WriteFailure(path, ErrnoText(errno));
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
    if (int error = fd.Close(); error != 0) {
        return fail(error);
    }
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        return fail(errno);
    }
    // Make the rename itself durable; the data is already safe if this fails.
    CFileDescriptor folderFd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folderFd.Valid()) {
        ::fsync(folderFd.Get());
    }
    return Status::Ok();
}

}  // namespace quenby
