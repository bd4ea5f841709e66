// The profile in the registry: names, types, absent values.
#include <gtest/gtest.h>
#include <windows.h>

#include <limits>
#include <numeric>

#include "app/AppSettings.h"
#include "win32/RegistryProfileStore.h"

namespace quenby {
namespace {

// A key of its own per test, removed afterwards.
class RegistryProfileStoreTest : public ::testing::Test {
protected:
    void TearDown() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, m_key.c_str()); }

    DWORD TypeOf(const wchar_t* name) const {
        DWORD type = REG_NONE;
        const std::wstring section = m_key + L"\\Settings";
        ::RegGetValueW(HKEY_CURRENT_USER, section.c_str(), name, RRF_RT_ANY | RRF_NOEXPAND, &type,
                       nullptr, nullptr);
        return type;
    }

    const std::wstring m_key = L"Software\\Holvane\\QuenbyTest-" +
                               std::to_wstring(::GetCurrentProcessId()) + L"-" +
                               std::to_wstring(::GetTickCount64());
    CRegistryProfileStore m_store{m_key};
};

TEST(Win32Registry, TheProfileLivesUnderTheVendorAndTheApplicationTitle) {
    EXPECT_EQ(CRegistryProfileStore::ApplicationKey(), L"Software\\Holvane\\Quenby by Holvane");
}

TEST_F(RegistryProfileStoreTest, ValuesRoundTripWithTheirRegistryTypes) {
    for (std::int32_t value : {0, 1, -1, std::numeric_limits<std::int32_t>::min(),
                               std::numeric_limits<std::int32_t>::max()}) {
        ASSERT_TRUE(m_store.WriteInt("Settings", "m_iCount", value));
        EXPECT_EQ(m_store.GetInt("Settings", "m_iCount", 5), value);
    }
    const std::string path = "C:\\Users\\J\xc3\xbcrgen\\\xe6\x96\x87\xe4\xbb\xb6.quenbydata";
    ASSERT_TRUE(m_store.WriteString("Settings", "LastFilePath", path));
    EXPECT_EQ(m_store.GetString("Settings", "LastFilePath"), path);
    std::vector<std::uint8_t> placement(44);
    std::iota(placement.begin(), placement.end(), std::uint8_t{200});
    ASSERT_TRUE(m_store.WriteBinary("Settings", "Location", placement));
    EXPECT_EQ(m_store.GetBinary("Settings", "Location"), placement);

    EXPECT_EQ(TypeOf(L"m_iCount"), static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(TypeOf(L"LastFilePath"), static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(TypeOf(L"Location"), static_cast<DWORD>(REG_BINARY));
}

TEST_F(RegistryProfileStoreTest, AbsentOrForeignValuesReadAsTheDefaultAndAreNotWritten) {
    CAppSettings settings(m_store);
    EXPECT_EQ(settings.GetKeyInputMethod(), 1);
    EXPECT_EQ(settings.GetRememberLastPositionAndSize(), 1);
    EXPECT_FALSE(m_store.GetString("Settings", "LastFilePath"));
    EXPECT_FALSE(m_store.GetBinary("Settings", "Location"));
    HKEY probe = nullptr;
    EXPECT_NE(::RegOpenKeyExW(HKEY_CURRENT_USER, m_key.c_str(), 0, KEY_READ, &probe), ERROR_SUCCESS)
        << "reading created the key";

    // Another program wrote a number as a string: it is not a number to us.
    ASSERT_TRUE(m_store.WriteString("Settings", "m_iKeyInputMethod", "0"));
    EXPECT_EQ(m_store.GetInt("Settings", "m_iKeyInputMethod", 1), 1);
    ASSERT_TRUE(m_store.WriteInt("Settings", "Location", 3));
    EXPECT_FALSE(m_store.GetBinary("Settings", "Location"));
}

}  // namespace
}  // namespace quenby
