#pragma once

#include <algorithm>
#include <string>
#include <string_view>

#include "platform/DataProtector.h"

namespace quenby::test {

// A stand-in for per-user protection: a tag, the bytes scrambled, and a checksum, so that damaged
// or foreign blocks are refused the way real sealed data is. Either direction can be made to fail.
class CFakeDataProtector final : public IDataProtector {
public:
    Expected<std::vector<std::uint8_t>> Protect(std::span<const std::uint8_t> plain) override {
        ++m_iProtectCalls;
        if (m_bFailProtect) {
            return Status::Fail(u"the key store is locked");
        }
        std::vector<std::uint8_t> sealed(kTag.begin(), kTag.end());
        for (std::uint8_t byte : plain) {
            sealed.push_back(static_cast<std::uint8_t>(byte ^ 0x5A));
        }
        const std::uint32_t sum = Checksum(plain);
        for (int shift = 0; shift < 32; shift += 8) {
            sealed.push_back(static_cast<std::uint8_t>(sum >> shift));
        }
        return sealed;
    }

    Expected<std::vector<std::uint8_t>> Unprotect(std::span<const std::uint8_t> sealed) override {
        if (m_bFailUnprotect || sealed.size() < kTag.size() + 4 ||
            !std::equal(kTag.begin(), kTag.end(), sealed.begin())) {
            return Status::Fail(u"it was encrypted for another user");
        }
        std::vector<std::uint8_t> plain;
        for (std::size_t i = kTag.size(); i < sealed.size() - 4; ++i) {
            plain.push_back(static_cast<std::uint8_t>(sealed[i] ^ 0x5A));
        }
        std::uint32_t stored = 0;
        for (int i = 3; i >= 0; --i) {
            stored = (stored << 8) | sealed[sealed.size() - 4 + static_cast<std::size_t>(i)];
        }
        if (stored != Checksum(plain)) {
            return Status::Fail(u"it is damaged");
        }
        return plain;
    }

    std::u16string DescribeKeyStore() const override { return u"a test key"; }

    bool m_bFailProtect = false;
    bool m_bFailUnprotect = false;
    int m_iProtectCalls = 0;

private:
    static constexpr std::string_view kTag = "FAKE";
    static std::uint32_t Checksum(std::span<const std::uint8_t> bytes) {
        std::uint32_t hash = 2166136261u;
        for (std::uint8_t byte : bytes) {
            hash = (hash ^ byte) * 16777619u;
        }
        return hash;
    }
};

}  // namespace quenby::test
