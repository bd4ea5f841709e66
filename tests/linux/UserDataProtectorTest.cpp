#include <sys/stat.h>

#include "engine/WideText.h"
#include "linux/TempHome.h"
#include "linux/protection/UserDataProtector.h"

namespace quenby {
namespace {

class UserDataProtectorTest : public test::TempHome {
protected:
    std::filesystem::path KeyFile() const {
        return m_home / ".local/share/Holvane/Quenby by Holvane/data-file.key";
    }
};

TEST_F(UserDataProtectorTest, WithoutASecretServiceTheKeyFileServesAndOnlyWholeSealedTextsOpen) {
    WithoutSessionBus();
    auto protector = CUserDataProtector::ForCurrentUser();
    const std::vector<std::uint8_t> plain = Bytes(std::string("H\0i\0\0\0", 6));
    Expected<std::vector<std::uint8_t>> sealed = protector->Protect(plain);
    ASSERT_TRUE(sealed.ok()) << Utf8FromUtf16(sealed.reason());
    EXPECT_EQ(std::string(sealed.value().begin(), sealed.value().begin() + 4), "QNB\x01");
    EXPECT_EQ(sealed.value().size(), 4 + 24 + plain.size() + 16);
    struct stat info {};
    ASSERT_EQ(::stat(KeyFile().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(info.st_size, 32);
    EXPECT_NE(protector->DescribeKeyStore().find(u"data-file.key"), std::u16string::npos);

    // Another start of the program finds the same key.
    auto again = CUserDataProtector::ForCurrentUser();
    Expected<std::vector<std::uint8_t>> opened = again->Unprotect(sealed.value());
    ASSERT_TRUE(opened.ok());
    EXPECT_EQ(opened.value(), plain);
    // The same text seals differently every time (a fresh nonce).
    EXPECT_NE(again->Protect(plain).value(), sealed.value());

    // Tampered or truncated anywhere, it never opens.
    std::vector<std::vector<std::uint8_t>> bad;
    for (std::size_t i = 0; i < sealed.value().size(); ++i) {
        bad.push_back(sealed.value());
        bad.back()[i] ^= 0x01;
        bad.emplace_back(sealed.value().begin(),
                         sealed.value().begin() + static_cast<std::ptrdiff_t>(i));
    }
    for (const auto& data : bad) {
        const Expected<std::vector<std::uint8_t>> broken = protector->Unprotect(data);
        EXPECT_FALSE(broken.ok());
        EXPECT_FALSE(broken.reason().empty());
    }
    // Nor for another user: another home, another key.
    ::setenv("XDG_DATA_HOME", (m_root / "other-user").c_str(), 1);
    const Expected<std::vector<std::uint8_t>> foreign =
        CUserDataProtector::ForCurrentUser()->Unprotect(sealed.value());
    ASSERT_FALSE(foreign.ok());
    EXPECT_NE(foreign.reason().find(u"another user"), std::u16string::npos);
}

TEST_F(UserDataProtectorTest, ADamagedKeyFileIsReportedAndNeverReplaced) {
    WithoutSessionBus();
    std::filesystem::create_directories(KeyFile().parent_path());
    for (const std::string& content : {std::string("too short"), std::string(40, 'k')}) {
        WriteBytes(KeyFile(), content);
        auto protector = CUserDataProtector::ForCurrentUser();
        const Expected<std::vector<std::uint8_t>> sealed = protector->Protect(Bytes("x"));
        ASSERT_FALSE(sealed.ok());
        EXPECT_NE(sealed.reason().find(u"damaged"), std::u16string::npos);
        EXPECT_EQ(ReadText(KeyFile()), content);
    }
}

// A key file from before the Secret Service ran stays the key; without one, the Secret Service
// keeps the key, which serves on once in memory when the service goes away.
TEST_F(UserDataProtectorTest, TheSecretServiceKeepsTheKeyUnlessAKeyFileCameFirst) {
    WithoutSessionBus();
    const std::vector<std::uint8_t> old =
        CUserDataProtector::ForCurrentUser()->Protect(Bytes("old")).value();
    ASSERT_TRUE(StartSessionBus() && StartKeyring());
    auto protector = CUserDataProtector::ForCurrentUser();
    ASSERT_TRUE(protector->Unprotect(old).ok());
    EXPECT_TRUE(protector->Protect(Bytes("new")).ok());
    Expected<std::optional<UserKey>> kept = CSecretServiceKeyStore().Load();
    ASSERT_TRUE(kept.ok());
    EXPECT_FALSE(kept.value().has_value());  // no second key was made

    ::setenv("XDG_DATA_HOME", (m_root / "no-key-file-yet").c_str(), 1);
    const Expected<std::vector<std::uint8_t>> sealed =
        CUserDataProtector::ForCurrentUser()->Protect(Bytes("in the keyring"));
    ASSERT_TRUE(sealed.ok()) << Utf8FromUtf16(sealed.reason());
    EXPECT_FALSE(std::filesystem::exists(m_root / "no-key-file-yet"));
    kept = CSecretServiceKeyStore().Load();
    ASSERT_TRUE(kept.ok());
    EXPECT_TRUE(kept.value().has_value());
    auto again = CUserDataProtector::ForCurrentUser();
    ASSERT_TRUE(again->Unprotect(sealed.value()).ok());
    EXPECT_NE(again->DescribeKeyStore().find(u"keyring"), std::u16string::npos);
    m_keyring.reset();  // the Secret Service goes away mid-session
    EXPECT_TRUE(again->Protect(Bytes("still")).ok());
}

}  // namespace
}  // namespace quenby
