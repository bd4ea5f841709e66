#pragma once

#include <algorithm>
#include <map>
#include <string>
#include <string_view>

#include "platform/DataProtector.h"
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
        if (m_bFailWrites) {
            return Status::Fail(u"Could not save the file: No space left on device");
        }
        m_files[path].assign(content.begin(), content.end());
        return Status::Ok();
    }

    std::map<std::filesystem::path, std::vector<std::uint8_t>> m_files;
    bool m_bFailWrites = false;
};

// A stand-in for per-user protection: a tag, the bytes scrambled, and a checksum, so that damaged
// or foreign blocks are refused the way real sealed data is. Either direction can be made to fail.
class CFakeDataProtector final : public IDataProtector {
public:
    Expected<std::vector<std::uint8_t>> Protect(std::span<const std::uint8_t> plain) override {
        ++m_iProtectCalls;
        if (m_bFailProtect) {
            return Status::Fail(u"the key store is locked");
        }
        return Seal(plain);
    }

    Expected<std::vector<std::uint8_t>> Unprotect(std::span<const std::uint8_t> sealed) override {
        if (m_bFailUnprotect || sealed.size() < kTag.size() + 4) {
            return Status::Fail(u"it was encrypted for another user");
        }
        std::vector<std::uint8_t> plain;
        for (std::uint8_t byte : sealed.subspan(kTag.size(), sealed.size() - kTag.size() - 4)) {
            plain.push_back(static_cast<std::uint8_t>(byte ^ 0x5A));
        }
        if (!std::ranges::equal(Seal(plain), sealed)) {
            return Status::Fail(u"it is damaged");
        }
        return plain;
    }

    std::u16string DescribeKeyStore() const override { return u"a test key"; }

    bool m_bFailProtect = false;
    bool m_bFailUnprotect = false;
    int m_iProtectCalls = 0;

private:
    // Five bytes, so sealed blocks come out odd-sized as well as even, as real ones may.
    static constexpr std::string_view kTag = "FAKE!";

    static std::vector<std::uint8_t> Seal(std::span<const std::uint8_t> plain) {
        std::vector<std::uint8_t> sealed(kTag.begin(), kTag.end());
        std::uint32_t sum = 0;
        for (std::uint8_t byte : plain) {
            sealed.push_back(static_cast<std::uint8_t>(byte ^ 0x5A));
            sum = sum * 31 + byte;
        }
        for (int shift = 0; shift < 32; shift += 8) {
            sealed.push_back(static_cast<std::uint8_t>(sum >> shift));
        }
        return sealed;
    }
};

}  // namespace quenby::test
