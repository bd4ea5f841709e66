#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "linux/protection/UserKeyStore.h"
#include "platform/DataProtector.h"

namespace quenby {

// Seals texts for the current user with XChaCha20-Poly1305 under a random 256-bit key of the user.
// The key is found at the first use: one already kept in the Secret Service, else one in the key
// file, else a new one, kept in the Secret Service when it runs and in the key file when it does
// not. Texts sealed under the other store's key (from a time the Secret Service was away) still
// open. Sealed form: "QNB" 0x01, a 24-byte nonce, the ciphertext with its 16-byte tag; the four
// header bytes are authenticated too.
class CUserDataProtector final : public IDataProtector {
public:
    CUserDataProtector(std::unique_ptr<IUserKeyStore> secretService,
                       std::unique_ptr<IUserKeyStore> keyFile);
    // The stores of this desktop.
    static std::unique_ptr<CUserDataProtector> ForCurrentUser();

    Expected<std::vector<std::uint8_t>> Protect(std::span<const std::uint8_t> plain) override;
    Expected<std::vector<std::uint8_t>> Unprotect(std::span<const std::uint8_t> sealed) override;
    std::u16string DescribeKeyStore() const override;

private:
    Status EnsureKeys();

    std::unique_ptr<IUserKeyStore> m_secretService;
    std::unique_ptr<IUserKeyStore> m_keyFile;
    std::optional<UserKey> m_key;      // seals
    std::vector<UserKey> m_otherKeys;  // also open
    const IUserKeyStore* m_pKeptIn = nullptr;
};

}  // namespace quenby
