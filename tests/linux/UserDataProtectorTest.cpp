#include <sys/stat.h>

#include "engine/WideText.h"
#include "linux/TempHome.h"
#include "linux/protection/UserDataProtector.h"
#include "support/SessionBus.h"

namespace quenby {
namespace {

std::vector<std::uint8_t> Bytes(const std::string& text) {
    return {text.begin(), text.end()};
}

class UserDataProtectorTest : public test::TempHome {
protected:
    // No session bus at all: the Secret Service cannot be reached.
    void WithoutSecretService() {
        ::setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + (m_root / "no-bus").string()).c_str(),
                 1);
    }
    std::filesystem::path KeyFile() const {
        return m_home / ".local/share/Holvane/Quenby by Holvane/data-file.key";
    }
};

TEST_F(UserDataProtectorTest, TheKeyFileServesWhenNoSecretServiceRuns) {
    WithoutSecretService();
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
}

TEST_F(UserDataProtectorTest, TamperedTruncatedOrForeignDataNeverOpens) {
    WithoutSecretService();
    auto protector = CUserDataProtector::ForCurrentUser();
    const std::vector<std::uint8_t> sealed = protector->Protect(Bytes("secret text")).value();

    std::vector<std::vector<std::uint8_t>> bad;
    for (std::size_t i = 0; i < sealed.size(); ++i) {
        std::vector<std::uint8_t> flipped = sealed;
        flipped[i] ^= 0x01;
        bad.push_back(flipped);
    }
    for (std::size_t cut = 0; cut < sealed.size(); ++cut) {
        bad.emplace_back(sealed.begin(), sealed.begin() + static_cast<std::ptrdiff_t>(cut));
    }
    for (const auto& data : bad) {
        const Expected<std::vector<std::uint8_t>> opened = protector->Unprotect(data);
        EXPECT_FALSE(opened.ok());
        EXPECT_FALSE(opened.reason().empty());
    }

    // Another user: another home, another key.
    ::setenv("XDG_DATA_HOME", (m_root / "other-user").c_str(), 1);
    auto other = CUserDataProtector::ForCurrentUser();
    const Expected<std::vector<std::uint8_t>> foreign = other->Unprotect(sealed);
    ASSERT_FALSE(foreign.ok());
    EXPECT_NE(foreign.reason().find(u"another user"), std::u16string::npos);
}

TEST_F(UserDataProtectorTest, ADamagedKeyFileIsReportedAndNeverReplaced) {
    WithoutSecretService();
    std::filesystem::create_directories(KeyFile().parent_path());
    for (const std::string& content : {std::string("too short"), std::string(40, 'k')}) {
        WriteBytes(KeyFile(), content);
        auto protector = CUserDataProtector::ForCurrentUser();
        const Expected<std::vector<std::uint8_t>> sealed = protector->Protect(Bytes("x"));
        ASSERT_FALSE(sealed.ok());
        EXPECT_NE(sealed.reason().find(u"damaged"), std::u16string::npos);
        EXPECT_EQ(ReadBytes(KeyFile()), Bytes(content));
    }
}

TEST_F(UserDataProtectorTest, TheSecretServiceKeepsTheKeyWhenItRuns) {
    test::CSessionBus bus((m_root / "run").string());
    ASSERT_TRUE(bus.Started());
    ASSERT_TRUE(bus.StartKeyring());
    auto protector = CUserDataProtector::ForCurrentUser();
    const Expected<std::vector<std::uint8_t>> sealed = protector->Protect(Bytes("in the keyring"));
    ASSERT_TRUE(sealed.ok()) << Utf8FromUtf16(sealed.reason());
    EXPECT_FALSE(std::filesystem::exists(KeyFile()));
    EXPECT_NE(protector->DescribeKeyStore().find(u"keyring"), std::u16string::npos);
    Expected<std::optional<UserKey>> kept = CSecretServiceKeyStore().Load();
    ASSERT_TRUE(kept.ok());
    EXPECT_TRUE(kept.value().has_value());

    auto again = CUserDataProtector::ForCurrentUser();
    ASSERT_TRUE(again->Unprotect(sealed.value()).ok());

    // The Secret Service goes away mid-session: the key already in memory keeps serving.
    bus.StopKeyring();
    EXPECT_TRUE(again->Protect(Bytes("still")).ok());
}

TEST_F(UserDataProtectorTest, AKeyFileFromBeforeTheSecretServiceKeepsWorking) {
    WithoutSecretService();
    const std::vector<std::uint8_t> sealed =
        CUserDataProtector::ForCurrentUser()->Protect(Bytes("old")).value();
    test::CSessionBus bus((m_root / "run").string());
    ASSERT_TRUE(bus.StartKeyring());
    auto protector = CUserDataProtector::ForCurrentUser();
    ASSERT_TRUE(protector->Unprotect(sealed).ok());
    // No second key is made: the file's key stays the one that seals.
    EXPECT_TRUE(protector->Protect(Bytes("new")).ok());
    Expected<std::optional<UserKey>> kept = CSecretServiceKeyStore().Load();
    ASSERT_TRUE(kept.ok());
    EXPECT_FALSE(kept.value().has_value());
}

}  // namespace
}  // namespace quenby
