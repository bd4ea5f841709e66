#include "engine/HotKeyProfile.h"
#include "linux/IniProfileStore.h"
#include "linux/TempHome.h"
#include "linux/XdgPaths.h"

namespace quenby {
namespace {

class IniProfileStoreTest : public test::TempHome {
protected:
    std::string FileText() {
        const std::vector<std::uint8_t> bytes = ReadBytes(ProfileFilePath());
        return {bytes.begin(), bytes.end()};
    }
};

TEST_F(IniProfileStoreTest, LivesUnderTheConfigHomeAndFollowsTheEnvironment) {
    EXPECT_EQ(ProfileFilePath(), m_home / ".config/Holvane/Quenby by Holvane.conf");
    ::setenv("XDG_CONFIG_HOME", "relative/ignored", 1);
    EXPECT_EQ(XdgConfigHome(), m_home / ".config");
    ::setenv("XDG_CONFIG_HOME", (m_root / "elsewhere").c_str(), 1);
    EXPECT_EQ(ProfileFilePath(), m_root / "elsewhere/Holvane/Quenby by Holvane.conf");
    ::unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(XdgDataHome(), m_home / ".local/share");
}

TEST_F(IniProfileStoreTest, ReadingNeverCreatesOrWritesAnything) {
    CIniProfileStore store(ProfileFilePath());
    EXPECT_EQ(store.GetInt("Settings", "m_iCount", 5), 5);
    EXPECT_FALSE(store.GetString("Settings", "LastFilePath").has_value());
    EXPECT_FALSE(store.GetBinary("Settings", "Location").has_value());
    EXPECT_FALSE(std::filesystem::exists(m_home / ".config"));
}

TEST_F(IniProfileStoreTest, TheFirstWriteCreatesTheFileWithTheSettingsSection) {
    CIniProfileStore store(ProfileFilePath());
    ASSERT_TRUE(store.WriteInt("Settings", "m_iCount", 0));
    ASSERT_TRUE(store.WriteInt("Settings", "StartStopAutomaticTyping Key", 0x74));
    EXPECT_EQ(store.GetInt("Settings", "m_iCount", 5), 0);
    EXPECT_EQ(store.GetInt("Settings", "StartStopAutomaticTyping Key", 0), 0x74);
    const std::string text = FileText();
    EXPECT_NE(text.find("[Settings]"), std::string::npos) << text;
    EXPECT_NE(text.find("m_iCount=0"), std::string::npos) << text;
    EXPECT_NE(text.find("StartStopAutomaticTyping Key=116"), std::string::npos) << text;
}

TEST_F(IniProfileStoreTest, ValuesThatAreNotWholeIntegersReadAsTheDefault) {
    std::filesystem::create_directories(ProfileFilePath().parent_path());
    WriteBytes(ProfileFilePath(),
               "[Settings]\nm_iCount=12abc\nColumn0=99999999999\nColumn1= 7\nColumn2=-3\n");
    CIniProfileStore store(ProfileFilePath());
    EXPECT_EQ(store.GetInt("Settings", "m_iCount", 5), 5);
    EXPECT_EQ(store.GetInt("Settings", "Column0", 50), 50);
    EXPECT_EQ(store.GetInt("Settings", "Column2", 75), -3);
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

TEST_F(IniProfileStoreTest, AnUnreadableFileIsKeptAsideNotOverwritten) {
    std::filesystem::create_directories(ProfileFilePath().parent_path());
    const std::string garbage = "this is not\x01 a key file\n[unclosed\n";
    WriteBytes(ProfileFilePath(), garbage);
    CIniProfileStore store(ProfileFilePath());
    EXPECT_EQ(store.GetInt("Settings", "m_iCount", 5), 5);
    ASSERT_TRUE(store.WriteInt("Settings", "m_iCount", 9));
    EXPECT_EQ(store.GetInt("Settings", "m_iCount", 5), 9);
    std::filesystem::path kept = ProfileFilePath();
    kept += ".unreadable";
    const std::vector<std::uint8_t> keptBytes = ReadBytes(kept);
    EXPECT_EQ(std::string(keptBytes.begin(), keptBytes.end()), garbage);
}

TEST_F(IniProfileStoreTest, CommentsAndOtherSectionsSurviveAWrite) {
    std::filesystem::create_directories(ProfileFilePath().parent_path());
    WriteBytes(ProfileFilePath(), "# kept by hand\n[Other]\nx=1\n[Settings]\nm_iCount=3\n");
    CIniProfileStore store(ProfileFilePath());
    ASSERT_TRUE(store.WriteInt("Settings", "m_bRandomOrder", 1));
    const std::string text = FileText();
    EXPECT_NE(text.find("# kept by hand"), std::string::npos);
    EXPECT_EQ(store.GetInt("Other", "x", 0), 1);
    EXPECT_EQ(store.GetInt("Settings", "m_iCount", 5), 3);
}

TEST_F(IniProfileStoreTest, AnUnwritableFolderFailsTheWriteAndTheShortcutStore) {
    WriteBytes(m_home / "not-a-folder", "x");
    ::setenv("XDG_CONFIG_HOME", (m_home / "not-a-folder").c_str(), 1);
    CIniProfileStore store(ProfileFilePath());
    EXPECT_FALSE(store.WriteInt("Settings", "m_iCount", 1));
    EXPECT_FALSE(
        CHotKeyProfile(store).StoreHotKey(kStartStopHotKeyName, 0x74, CONTROL_FLAG_CONTROL));
    EXPECT_EQ(CHotKeyProfile(store).LoadHotKey(kStartStopHotKeyName).m_wVirtualKey, 0);
}

TEST_F(IniProfileStoreTest, TheShortcutSurvivesARestart) {
    {
        CIniProfileStore store(ProfileFilePath());
        ASSERT_TRUE(
            CHotKeyProfile(store).StoreHotKey(kStartStopHotKeyName, 0x78, CONTROL_FLAG_ALT));
    }
    CIniProfileStore again(ProfileFilePath());
    const HotKey hotKey = CHotKeyProfile(again).LoadHotKey(kStartStopHotKeyName);
    EXPECT_EQ(hotKey.m_wVirtualKey, 0x78);
    EXPECT_EQ(hotKey.m_wSystemFlags, SYSTEM_FLAG_ALT);
    EXPECT_EQ(hotKey.m_wControlFlags, CONTROL_FLAG_ALT);
    EXPECT_NE(FileText().find("StartStopAutomaticTyping Mod=1"), std::string::npos);
}

}  // namespace
}  // namespace quenby
