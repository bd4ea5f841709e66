#pragma once

#include <string>

#include "platform/FileStore.h"

namespace quenby {

// Files on Windows, by UTF-16 paths throughout and in the \\?\ form, so paths longer than
// MAX_PATH work. Replacing writes a temporary file beside the target, flushes it to the disk and
// puts it in the target's place with ReplaceFileW (which keeps the target's attributes and
// security) or, where that cannot be used, MoveFileExW with write-through, so the target is always
// either old or new, never a mix. The temporary file is held open without sharing until it is in
// place; one that nobody holds is the leftover of a save that was killed, and is removed at the
// next save or load of its file.
class CWin32FileStore final : public IFileStore {
public:
    Expected<std::vector<std::uint8_t>> ReadWholeFile(const std::filesystem::path& path) override;
    bool Exists(const std::filesystem::path& path) override;
    Status ReplaceFileAtomically(const std::filesystem::path& path,
                                 std::span<const std::uint8_t> content) override;

    // The path as the file functions take it: absolute, normalised, with the \\?\ prefix.
    static std::wstring LongPath(const std::filesystem::path& path);
};

}  // namespace quenby
