#include "linux/protection/UserKeyStore.h"

#include <fcntl.h>
#include <libsecret/secret.h>
#include <sodium.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <system_error>

#include "app/ProfileValues.h"
#include "engine/WideText.h"
#include "linux/XdgPaths.h"

namespace quenby {
namespace {

constexpr const char* kAttribute = "application";

const SecretSchema* KeySchema() {
    static const SecretSchema schema = {
        "org.holvane.Quenby.DataFileKey",
        SECRET_SCHEMA_NONE,
        {{kAttribute, SECRET_SCHEMA_ATTRIBUTE_STRING}, {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING}},
        0,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr};
    return &schema;
}

std::u16string ErrorText(GError* error) {
    std::u16string text = Utf16FromUtf8(error != nullptr ? error->message : "unknown error");
    if (error != nullptr) {
        g_error_free(error);
    }
    return text;
}

std::u16string ErrnoText(int error) {
    return Utf16FromUtf8(std::generic_category().message(error));
}

}  // namespace

UserKey::~UserKey() {
    sodium_memzero(m_bytes.data(), m_bytes.size());
}

// ---- Secret Service ----

Expected<std::optional<UserKey>> CSecretServiceKeyStore::Load() {
    GError* error = nullptr;
    gchar* secret = secret_password_lookup_sync(KeySchema(), nullptr, &error, kAttribute,
                                                kAppTitleUtf8.data(), nullptr);
    if (error != nullptr) {
        return Status::Fail(u"the Secret Service cannot be reached: " + ErrorText(error));
    }
    if (secret == nullptr) {
        return std::optional<UserKey>{};
    }
    UserKey key;
    std::size_t length = 0;
    const int decoded =
        sodium_base642bin(key.m_bytes.data(), key.m_bytes.size(), secret, std::strlen(secret),
                          nullptr, &length, nullptr, sodium_base64_VARIANT_ORIGINAL);
    secret_password_free(secret);
    if (decoded != 0 || length != key.m_bytes.size()) {
        return Status::Fail(u"the key kept in the Secret Service is damaged.");
    }
    return std::optional<UserKey>(key);
}

Status CSecretServiceKeyStore::Store(const UserKey& key) {
    char encoded[sodium_base64_ENCODED_LEN(32, sodium_base64_VARIANT_ORIGINAL)];
    sodium_bin2base64(encoded, sizeof encoded, key.m_bytes.data(), key.m_bytes.size(),
                      sodium_base64_VARIANT_ORIGINAL);
    GError* error = nullptr;
    const gboolean stored = secret_password_store_sync(
        KeySchema(), SECRET_COLLECTION_DEFAULT, "Quenby data file key", encoded, nullptr, &error,
        kAttribute, kAppTitleUtf8.data(), nullptr);
    sodium_memzero(encoded, sizeof encoded);
    if (error != nullptr || stored == FALSE) {
        return Status::Fail(u"the Secret Service did not keep the key: " + ErrorText(error));
    }
    return Status::Ok();
}

std::u16string CSecretServiceKeyStore::Describe() const {
    return u"in your login keyring (the desktop's Secret Service)";
}

// ---- Key file ----

std::filesystem::path CKeyFileStore::DefaultPath() {
    return XdgDataHome() / std::string(kVendorKey) / std::string(kAppTitleUtf8) / "data-file.key";
}

Expected<std::optional<UserKey>> CKeyFileStore::Load() {
    const int fd = ::open(m_file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
        if (errno == ENOENT) {
            return std::optional<UserKey>{};
        }
        return Status::Fail(u"the key file cannot be read: " + ErrnoText(errno));
    }
    // One byte more than a key, to tell a longer (damaged) file from a whole key.
    std::array<std::uint8_t, 33> buffer{};
    const ssize_t got = ::read(fd, buffer.data(), buffer.size());
    ::close(fd);
    UserKey key;
    const bool whole = got == static_cast<ssize_t>(key.m_bytes.size());
    if (whole) {
        std::memcpy(key.m_bytes.data(), buffer.data(), key.m_bytes.size());
    }
    sodium_memzero(buffer.data(), buffer.size());
    if (!whole) {
        return Status::Fail(u"the key file is damaged.");
    }
    return std::optional<UserKey>(key);
}

Status CKeyFileStore::Store(const UserKey& key) {
    std::error_code error;
    std::filesystem::create_directories(m_file.parent_path(), error);
    if (error) {
        return Status::Fail(u"the key file's folder cannot be made: " +
                            Utf16FromUtf8(error.message()));
    }
    ::chmod(m_file.parent_path().c_str(), 0700);
    // Created readable by the user alone from its first byte, and never over an existing key.
    const int fd = ::open(m_file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        return Status::Fail(u"the key file cannot be written: " + ErrnoText(errno));
    }
    const bool written = ::write(fd, key.m_bytes.data(), key.m_bytes.size()) ==
                             static_cast<ssize_t>(key.m_bytes.size()) &&
                         ::fsync(fd) == 0;
    const int closed = ::close(fd);
    if (!written || closed != 0) {
        ::unlink(m_file.c_str());
        return Status::Fail(u"the key file cannot be written: " + ErrnoText(errno));
    }
    return Status::Ok();
}

std::u16string CKeyFileStore::Describe() const {
    return u"in the file \"" + Utf16FromUtf8(m_file.native()) + u"\", which only you can read";
}

}  // namespace quenby
