#include "engine/HotKeyProfile.h"
#include "linux/IniProfileStore.h"
#include "linux/TempHome.h"
#include "linux/XdgPaths.h"

namespace quenby {
namespace {

class IniProfileStoreTest : public test::TempHome {
protected:
    void WriteFile(const std::string& text) {
        std::filesystem::create_directories(ProfileFilePath().parent_path());
        WriteBytes(ProfileFilePath(), text);
    }
};

TEST_F(IniProfileStoreTest, LivesUnderTheConfigHomeWhichReadingNeverCreates) {
    EXPECT_EQ(ProfileFilePath(), m_home / ".config/Holvane/Quenby by Holvane.conf");
    CIniProfileStore store(ProfileFilePath());
    EXPECT_EQ(store.GetInt("Settings", "m_iCount", 5), 5);
    EXPECT_FALSE(store.GetString("Settings", "LastFilePath").has_value());
    EXPECT_FALSE(store.GetBinary("Settings", "Location").has_value());
    EXPECT_FALSE(std::filesystem::exists(m_home / ".config"));

    ::setenv("XDG_CONFIG_HOME", "relative/ignored", 1);
    EXPECT_EQ(XdgConfigHome(), m_home / ".config");
    ::setenv("XDG_CONFIG_HOME", (m_root / "elsewhere").c_str(), 1);
    EXPECT_EQ(ProfileFilePath(), m_root / "elsewhere/Holvane/Quenby by Holvane.conf");
    ::unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(XdgDataHome(), m_home / ".local/share");
}

TEST_F(IniProfileStoreTest, SettingsAndTheShortcutSurviveARestartInTheSettingsSection) {
    {
        CIniProfileStore store(ProfileFilePath());
        ASSERT_TRUE(store.WriteInt("Settings", "m_iCount", 0));
        ASSERT_TRUE(
            CHotKeyProfile(store).StoreHotKey(kStartStopHotKeyName, 0x78, CONTROL_FLAG_ALT));
    }
    CIniProfileStore again(ProfileFilePath());
    EXPECT_EQ(again.GetInt("Settings", "m_iCount", 5), 0);
    const HotKey hotKey = CHotKeyProfile(again).LoadHotKey(kStartStopHotKeyName);
    EXPECT_EQ(hotKey.m_wVirtualKey, 0x78);
    EXPECT_EQ(hotKey.m_wSystemFlags, SYSTEM_FLAG_ALT);
    EXPECT_EQ(hotKey.m_wControlFlags, CONTROL_FLAG_ALT);
    const std::string text = ReadText(ProfileFilePath());
    for (const char* line : {"[Settings]\n", "m_iCount=0\n", "StartStopAutomaticTyping Key=120\n",
                             "StartStopAutomaticTyping Mod=1\n"}) {
        EXPECT_NE(text.find(line), std::string::npos) << text;
    }
}

TEST_F(IniProfileStoreTest, StringsAndBytesRoundTrip) {
    CIniProfileStore store(ProfileFilePath());
    const std::string path = "/home/u/My Lists/a=b;[c]#d.quenbydata";
    ASSERT_TRUE(store.WriteString("Settings", "LastFilePath", path));
    EXPECT_EQ(store.GetString("Settings", "LastFilePath"), path);
    std::vector<std::uint8_t> placement(44);
    for (std::size_t i = 0; i < placement.size(); ++i) {
        placement[i] = static_cast<std::uint8_t>(i * 37);
    }
    ASSERT_TRUE(store.WriteBinary("Settings", "Location", placement));
    EXPECT_EQ(store.GetBinary("Settings", "Location"), placement);
    // A name in another encoding does not make the profile unreadable.
    ASSERT_TRUE(store.WriteString("Settings", "LastFilePath", "/home/u/bad\xff.quenbydata"));
    EXPECT_EQ(store.GetBinary("Settings", "Location"), placement);
}

// What a hand edit can leave: a value that is not a whole integer reads as the default, and a
// file that is no key file at all is kept aside for the user, not overwritten.
TEST_F(IniProfileStoreTest, HandEditedFilesAreReadAsFarAsTheyMakeSenseAndNeverOverwritten) {
    WriteFile("[Settings]\nm_iCount=12abc\nColumn0=99999999999\nColumn2=-3\n");
    CIniProfileStore store(ProfileFilePath());
    EXPECT_EQ(store.GetInt("Settings", "m_iCount", 5), 5);
    EXPECT_EQ(store.GetInt("Settings", "Column0", 50), 50);
    EXPECT_EQ(store.GetInt("Settings", "Column2", 75), -3);

    const std::string garbage = "this is not\x01 a key file\n[unclosed\n";
    WriteFile(garbage);
    EXPECT_EQ(store.GetInt("Settings", "Column2", 75), 75);
    ASSERT_TRUE(store.WriteInt("Settings", "m_iCount", 9));
    EXPECT_EQ(store.GetInt("Settings", "m_iCount", 5), 9);
    std::filesystem::path kept = ProfileFilePath();
    kept += ".unreadable";
    EXPECT_EQ(ReadText(kept), garbage);
}

}  // namespace
}  // namespace quenby
