#pragma once

#include "platform/DataProtector.h"

namespace quenby {

// Windows data protection for the current user (CryptProtectData), with no description, no
// entropy and no prompt: the form partly encrypted data files have always had on Windows, so
// files carry over between programs that follow it.
class CDpapiDataProtector final : public IDataProtector {
public:
    Expected<std::vector<std::uint8_t>> Protect(std::span<const std::uint8_t> plain) override;
    Expected<std::vector<std::uint8_t>> Unprotect(std::span<const std::uint8_t> sealed) override;
    std::u16string DescribeKeyStore() const override;
};

}  // namespace quenby
