#pragma once

#include <map>

#include "platform/FileStore.h"

namespace quenby::test {

// Files in memory; writes can be made to fail, as a full disk or a read-only folder would.
class CMemoryFileStore final : public IFileStore {
public:
    Expected<std::vector<std::uint8_t>> ReadWholeFile(const std::filesystem::path& path) override {
        auto it = m_files.find(path);
        if (it == m_files.end()) {
            return Status::Fail(u"Could not read the file: No such file or directory");
        }
        return it->second;
    }
    bool Exists(const std::filesystem::path& path) override { return m_files.count(path) != 0; }
    Status ReplaceFileAtomically(const std::filesystem::path& path,
                                 std::span<const std::uint8_t> content) override {
        ++m_iWriteAttempts;
        if (m_bFailWrites) {
            return Status::Fail(u"Could not save the file: No space left on device");
        }
        m_files[path].assign(content.begin(), content.end());
        return Status::Ok();
    }

    std::map<std::filesystem::path, std::vector<std::uint8_t>> m_files;
    bool m_bFailWrites = false;
    int m_iWriteAttempts = 0;
};

}  // namespace quenby::test
