#include "linux/protection/UserDataProtector.h"

#include <sodium.h>

#include <array>
#include <cstring>

namespace quenby {
namespace {

constexpr std::array<std::uint8_t, 4> kHeader{'Q', 'N', 'B', 0x01};
constexpr std::size_t kNonceSize = crypto_aead_xchacha20poly1305_ietf_NPUBBYTES;
constexpr std::size_t kTagSize = crypto_aead_xchacha20poly1305_ietf_ABYTES;

}  // namespace

CUserDataProtector::CUserDataProtector(std::unique_ptr<IUserKeyStore> secretService,
                                       std::unique_ptr<IUserKeyStore> keyFile)
    : m_secretService(std::move(secretService)), m_keyFile(std::move(keyFile)) {}

std::unique_ptr<CUserDataProtector> CUserDataProtector::ForCurrentUser() {
    return std::make_unique<CUserDataProtector>(
        std::make_unique<CSecretServiceKeyStore>(),
        std::make_unique<CKeyFileStore>(CKeyFileStore::DefaultPath()));
}

Status CUserDataProtector::EnsureKeys() {
    if (m_key) {
        return Status::Ok();
    }
    if (sodium_init() < 0) {
        return Status::Fail(u"the encryption library cannot start.");
    }
    Expected<std::optional<UserKey>> fromService = m_secretService->Load();
    Expected<std::optional<UserKey>> fromFile = m_keyFile->Load();
    const bool serviceHasKey = fromService.ok() && fromService.value().has_value();
    const bool fileHasKey = fromFile.ok() && fromFile.value().has_value();
    if (serviceHasKey) {
        m_key = *fromService.value();
        m_pKeptIn = m_secretService.get();
        if (fileHasKey) {
            m_otherKeys.push_back(*fromFile.value());
        }
        return Status::Ok();
    }
    if (fileHasKey) {
        m_key = *fromFile.value();
        m_pKeptIn = m_keyFile.get();
        return Status::Ok();
    }
    if (!fromFile.ok()) {
        // A damaged or unreadable key file is never replaced: texts sealed under it would be lost.
        return fromFile.status();
    }
    UserKey key;
    randombytes_buf(key.m_bytes.data(), key.m_bytes.size());
    Status stored = Status::Fail(u"");
    if (fromService.ok()) {
        stored = m_secretService->Store(key);
        m_pKeptIn = m_secretService.get();
    }
    if (!stored.ok()) {
        stored = m_keyFile->Store(key);
        m_pKeptIn = m_keyFile.get();
    }
    if (!stored.ok()) {
        m_pKeptIn = nullptr;
        return Status::Fail(u"no place to keep the encryption key: " + stored.reason());
    }
    m_key = key;
    return Status::Ok();
}

Expected<std::vector<std::uint8_t>> CUserDataProtector::Protect(
    std::span<const std::uint8_t> plain) {
    if (Status status = EnsureKeys(); !status.ok()) {
        return status;
    }
    std::vector<std::uint8_t> sealed(kHeader.size() + kNonceSize + plain.size() + kTagSize);
    std::memcpy(sealed.data(), kHeader.data(), kHeader.size());
    std::uint8_t* nonce = sealed.data() + kHeader.size();
    randombytes_buf(nonce, kNonceSize);
    unsigned long long length = 0;
    crypto_aead_xchacha20poly1305_ietf_encrypt(nonce + kNonceSize, &length, plain.data(),
                                               plain.size(), kHeader.data(), kHeader.size(),
                                               nullptr, nonce, m_key->m_bytes.data());
    sealed.resize(kHeader.size() + kNonceSize + length);
    return sealed;
}

Expected<std::vector<std::uint8_t>> CUserDataProtector::Unprotect(
    std::span<const std::uint8_t> sealed) {
    if (sealed.size() < kHeader.size() + kNonceSize + kTagSize ||
        !std::equal(kHeader.begin(), kHeader.end(), sealed.begin())) {
        return Status::Fail(u"it is not text this program encrypted, or it is damaged.");
    }
    if (Status status = EnsureKeys(); !status.ok()) {
        return status;
    }
    const std::uint8_t* nonce = sealed.data() + kHeader.size();
    const std::uint8_t* cipher = nonce + kNonceSize;
    const std::size_t cipherSize = sealed.size() - kHeader.size() - kNonceSize;
    std::vector<std::uint8_t> plain(cipherSize - kTagSize);
    std::vector<const UserKey*> keys{&*m_key};
    for (const UserKey& other : m_otherKeys) {
        keys.push_back(&other);
    }
    for (const UserKey* key : keys) {
        unsigned long long length = 0;
        if (crypto_aead_xchacha20poly1305_ietf_decrypt(plain.data(), &length, nullptr, cipher,
                                                       cipherSize, kHeader.data(), kHeader.size(),
                                                       nonce, key->m_bytes.data()) == 0) {
            plain.resize(length);
            return plain;
        }
    }
    return Status::Fail(
        u"it was encrypted for another user or on another computer, or it is damaged.");
}

std::u16string CUserDataProtector::DescribeKeyStore() const {
    return m_pKeptIn != nullptr ? m_pKeptIn->Describe()
                                : u"nowhere yet (no partly encrypted file was used)";
}

}  // namespace quenby
