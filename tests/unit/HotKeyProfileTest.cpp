#include <gtest/gtest.h>

#include "engine/HotKeyProfile.h"
#include "fakes/MemoryProfileStore.h"

namespace quenby {
namespace {

constexpr std::string_view kKey = "StartStopAutomaticTyping Key";
constexpr std::string_view kMod = "StartStopAutomaticTyping Mod";

TEST(HotKeyProfile, NothingStoredMeansNoShortcut) {
    test::CMemoryProfileStore store;
    const HotKey hotKey = CHotKeyProfile(store).LoadHotKey(kStartStopHotKeyName);
    EXPECT_EQ(hotKey.m_wVirtualKey, 0);
    EXPECT_EQ(hotKey.m_wControlFlags, 0);
    EXPECT_EQ(hotKey.m_wSystemFlags, 0);
    EXPECT_TRUE(store.Empty());  // reading wrote nothing back
}

struct StoreCase {
    const char* what;
    std::uint16_t key;
    std::uint16_t controlFlags;
    std::int32_t storedMod;
};

TEST(HotKeyProfile, StoresTheSystemFlagsAndLoadsTheControlFlagsBack) {
    const StoreCase cases[] = {
        {"Ctrl+Shift+F5", 0x74, HOTKEYF_CONTROL | HOTKEYF_SHIFT, MOD_CONTROL | MOD_SHIFT},
        {"Alt+F9", 0x78, HOTKEYF_ALT, MOD_ALT},
        {"Shift+A", 'A', HOTKEYF_SHIFT, MOD_SHIFT},
        {"Super+Ctrl+Home", 0x24, HOTKEYF_EXT | HOTKEYF_CONTROL, MOD_WIN | MOD_CONTROL},
        {"all four", 0x70, 0xF, 0xF},
        {"foreign bits dropped", 0x70, 0xF0 | HOTKEYF_ALT, MOD_ALT},
    };
    for (const StoreCase& c : cases) {
        test::CMemoryProfileStore store;
        CHotKeyProfile profile(store);
        ASSERT_TRUE(profile.StoreHotKey(kStartStopHotKeyName, c.key, c.controlFlags)) << c.what;
        EXPECT_EQ(store.GetInt("Settings", kKey, -1), c.key) << c.what;
        EXPECT_EQ(store.GetInt("Settings", kMod, -1), c.storedMod) << c.what;
        const HotKey loaded = profile.LoadHotKey(kStartStopHotKeyName);
        EXPECT_EQ(loaded.m_wVirtualKey, c.key) << c.what;
        EXPECT_EQ(loaded.m_wSystemFlags, c.storedMod) << c.what;
        EXPECT_EQ(loaded.m_wControlFlags, c.controlFlags & 0xF) << c.what;
    }
}

TEST(HotKeyProfile, TranslationIsItsOwnInverse) {
    EXPECT_EQ(CHotKeyProfile::TranslateModifiers(HOTKEYF_SHIFT), MOD_SHIFT);
    EXPECT_EQ(CHotKeyProfile::TranslateModifiers(HOTKEYF_ALT), MOD_ALT);
    EXPECT_EQ(CHotKeyProfile::TranslateModifiers(MOD_SHIFT), HOTKEYF_SHIFT);
    EXPECT_EQ(CHotKeyProfile::TranslateModifiers(MOD_ALT), HOTKEYF_ALT);
    for (std::uint16_t flags = 0; flags < 16; ++flags) {
        EXPECT_EQ(CHotKeyProfile::TranslateModifiers(CHotKeyProfile::TranslateModifiers(flags)),
                  flags);
    }
}

TEST(HotKeyProfile, KeyIsWrittenBeforeModAndModOnlyWhenKeySucceeded) {
    test::CMemoryProfileStore store;
    CHotKeyProfile profile(store);
    ASSERT_TRUE(profile.StoreHotKey(kStartStopHotKeyName, 0x74, HOTKEYF_CONTROL));
    ASSERT_EQ(store.WriteLog().size(), 2u);
    EXPECT_EQ(store.WriteLog()[0], "Settings/StartStopAutomaticTyping Key");
    EXPECT_EQ(store.WriteLog()[1], "Settings/StartStopAutomaticTyping Mod");

    test::CMemoryProfileStore refusing;
    refusing.RefuseWritesOf(std::string(kKey));
    CHotKeyProfile failing(refusing);
    EXPECT_FALSE(failing.StoreHotKey(kStartStopHotKeyName, 0x74, HOTKEYF_CONTROL));
    EXPECT_EQ(refusing.WriteLog().size(), 1u);
    EXPECT_FALSE(refusing.HasInt("Settings", kMod));
}

TEST(HotKeyProfile, AFailedModWriteIsAFailure) {
    test::CMemoryProfileStore store;
    store.RefuseWritesOf(std::string(kMod));
    EXPECT_FALSE(CHotKeyProfile(store).StoreHotKey(kStartStopHotKeyName, 0x74, HOTKEYF_CONTROL));
}

TEST(HotKeyProfile, StoredValuesAreTakenAsSixteenBits) {
    test::CMemoryProfileStore store;
    store.WriteInt("Settings", kKey, 0x10074);
    store.WriteInt("Settings", kMod, 0x10002);
    const HotKey hotKey = CHotKeyProfile(store).LoadHotKey(kStartStopHotKeyName);
    EXPECT_EQ(hotKey.m_wVirtualKey, 0x74);
    EXPECT_EQ(hotKey.m_wSystemFlags, MOD_CONTROL);
    EXPECT_EQ(hotKey.m_wControlFlags, HOTKEYF_CONTROL);
}

}  // namespace
}  // namespace quenby
