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
        {"Ctrl+Shift+F5", 0x74, CONTROL_FLAG_CONTROL | CONTROL_FLAG_SHIFT,
         SYSTEM_FLAG_CONTROL | SYSTEM_FLAG_SHIFT},
        {"Alt+F9", 0x78, CONTROL_FLAG_ALT, SYSTEM_FLAG_ALT},
        {"Shift+A", 'A', CONTROL_FLAG_SHIFT, SYSTEM_FLAG_SHIFT},
        {"Super+Ctrl+Home", 0x24, CONTROL_FLAG_EXT | CONTROL_FLAG_CONTROL,
         SYSTEM_FLAG_WIN | SYSTEM_FLAG_CONTROL},
        {"all four", 0x70, 0xF, 0xF},
        {"foreign bits dropped", 0x70, 0xF0 | CONTROL_FLAG_ALT, SYSTEM_FLAG_ALT},
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
    EXPECT_EQ(CHotKeyProfile::TranslateModifiers(CONTROL_FLAG_SHIFT), SYSTEM_FLAG_SHIFT);
    EXPECT_EQ(CHotKeyProfile::TranslateModifiers(CONTROL_FLAG_ALT), SYSTEM_FLAG_ALT);
    EXPECT_EQ(CHotKeyProfile::TranslateModifiers(SYSTEM_FLAG_SHIFT), CONTROL_FLAG_SHIFT);
    EXPECT_EQ(CHotKeyProfile::TranslateModifiers(SYSTEM_FLAG_ALT), CONTROL_FLAG_ALT);
    for (std::uint16_t flags = 0; flags < 16; ++flags) {
        EXPECT_EQ(CHotKeyProfile::TranslateModifiers(CHotKeyProfile::TranslateModifiers(flags)),
                  flags);
    }
}

TEST(HotKeyProfile, KeyIsWrittenBeforeModAndModOnlyWhenKeySucceeded) {
    test::CMemoryProfileStore store;
    CHotKeyProfile profile(store);
    ASSERT_TRUE(profile.StoreHotKey(kStartStopHotKeyName, 0x74, CONTROL_FLAG_CONTROL));
    ASSERT_EQ(store.WriteLog().size(), 2u);
    EXPECT_EQ(store.WriteLog()[0], "Settings/StartStopAutomaticTyping Key");
    EXPECT_EQ(store.WriteLog()[1], "Settings/StartStopAutomaticTyping Mod");

    test::CMemoryProfileStore refusing;
    refusing.RefuseWritesOf(std::string(kKey));
    CHotKeyProfile failing(refusing);
    EXPECT_FALSE(failing.StoreHotKey(kStartStopHotKeyName, 0x74, CONTROL_FLAG_CONTROL));
    EXPECT_EQ(refusing.WriteLog().size(), 1u);
    EXPECT_FALSE(refusing.HasInt("Settings", kMod));
}

TEST(HotKeyProfile, AFailedModWriteIsAFailure) {
    test::CMemoryProfileStore store;
    store.RefuseWritesOf(std::string(kMod));
    EXPECT_FALSE(
        CHotKeyProfile(store).StoreHotKey(kStartStopHotKeyName, 0x74, CONTROL_FLAG_CONTROL));
}

TEST(HotKeyProfile, StoredValuesAreTakenAsSixteenBits) {
    test::CMemoryProfileStore store;
    store.WriteInt("Settings", kKey, 0x10074);
    store.WriteInt("Settings", kMod, 0x10002);
    const HotKey hotKey = CHotKeyProfile(store).LoadHotKey(kStartStopHotKeyName);
    EXPECT_EQ(hotKey.m_wVirtualKey, 0x74);
    EXPECT_EQ(hotKey.m_wSystemFlags, SYSTEM_FLAG_CONTROL);
    EXPECT_EQ(hotKey.m_wControlFlags, CONTROL_FLAG_CONTROL);
}

}  // namespace
}  // namespace quenby
