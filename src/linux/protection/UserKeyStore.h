#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "engine/Outcome.h"

namespace quenby {

// The user's 256-bit data file key; wiped when it goes.
struct UserKey {
    std::array<std::uint8_t, 32> m_bytes{};
    ~UserKey();
    UserKey() = default;
    UserKey(const UserKey&) = default;
    UserKey& operator=(const UserKey&) = default;
};

// Where the key is kept. Load says "none yet" with an empty optional, and fails when the store
// itself cannot be reached.
class IUserKeyStore {
public:
    virtual ~IUserKeyStore() = default;
    virtual Expected<std::optional<UserKey>> Load() = 0;
    virtual Status Store(const UserKey& key) = 0;
    // Where the key is kept, in words for the encryption notice ("in ...").
    virtual std::u16string Describe() const = 0;
};

// The key as a secret in the desktop's Secret Service (the login keyring).
class CSecretServiceKeyStore final : public IUserKeyStore {
public:
    Expected<std::optional<UserKey>> Load() override;
    Status Store(const UserKey& key) override;
    std::u16string Describe() const override;
};

// The key in a file only the user can read, for desktops without a Secret Service.
class CKeyFileStore final : public IUserKeyStore {
public:
    explicit CKeyFileStore(std::filesystem::path file) : m_file(std::move(file)) {}
    Expected<std::optional<UserKey>> Load() override;
    Status Store(const UserKey& key) override;
    std::u16string Describe() const override;
    // $XDG_DATA_HOME/Holvane/Quenby by Holvane/data-file.key
    static std::filesystem::path DefaultPath();

private:
    std::filesystem::path m_file;
};

}  // namespace quenby
