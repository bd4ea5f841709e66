#pragma once

#include "platform/FileStore.h"

namespace quenby {

// Files on a POSIX system. Replacing writes a temporary file beside the target, flushes it to the
// disk, and renames it over the target, so the target is always either old or new, never a mix.
// The temporary file is locked while it is written; one that nobody holds is the leftover of a
// save that was killed, and is removed at the next save or load of its file.
class CPosixFileStore final : public IFileStore {
public:
    Expected<std::vector<std::uint8_t>> ReadWholeFile(const std::filesystem::path& path) override;
    bool Exists(const std::filesystem::path& path) override;
    Status ReplaceFileAtomically(const std::filesystem::path& path,
                                 std::span<const std::uint8_t> content) override;
};

}  // namespace quenby
