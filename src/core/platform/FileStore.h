#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

#include "engine/Outcome.h"

namespace quenby {

// Whole-file reads and crash-safe whole-file writes.
class IFileStore {
public:
    virtual ~IFileStore() = default;

    // The whole content of a regular file, or why it cannot be read.
    virtual Expected<std::vector<std::uint8_t>> ReadWholeFile(
        const std::filesystem::path& path) = 0;
    // True when something (a file, a folder, a link) stands at the path.
    virtual bool Exists(const std::filesystem::path& path) = 0;
    // Replaces the file's content so that a failure or a crash at any point leaves either the
    // whole old file or the whole new one; creates the file when absent.
    virtual Status ReplaceFileAtomically(const std::filesystem::path& path,
                                         std::span<const std::uint8_t> content) = 0;
};

}  // namespace quenby
