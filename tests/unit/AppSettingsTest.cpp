#include <gtest/gtest.h>

#include "app/AppSettings.h"
#include "fakes/MemoryProfileStore.h"

namespace quenby {
namespace {

TEST(AppSettings, AnEmptyProfileReadsAsTheDefaultsAndStaysEmpty) {
    test::CMemoryProfileStore store;
    const CAppSettings settings(store);
    EXPECT_EQ(settings.GetRememberLastPositionAndSize(), 1);
    EXPECT_EQ(settings.GetTextSettingUp(), 0);
    EXPECT_EQ(settings.GetKeyInputMethod(), KEY_INPUT_LAYOUT);
    EXPECT_EQ(settings.GetCount(), 5);
    EXPECT_FALSE(settings.GetRandomOrder());
    for (int column = 0; column < COLUMN_COUNT; ++column) {
        EXPECT_FALSE(settings.GetStoredColumnWidth(column).has_value()) << column;
    }
    EXPECT_FALSE(settings.GetPlacement(profile::Location).has_value());
    EXPECT_FALSE(settings.GetPlacement(profile::Location1).has_value());

    const NewMessageDefaults editor = settings.GetNewMessageDefaults(EDefaultsFor::MessageEditor);
    EXPECT_EQ(editor.m_iSeconds, 0);
    EXPECT_EQ(editor.m_iMilliSeconds, 0);
    EXPECT_TRUE(editor.m_bEnterBefore);
    EXPECT_TRUE(editor.m_bEnterAfter);
    const NewMessageDefaults import = settings.GetNewMessageDefaults(EDefaultsFor::TextImport);
    EXPECT_FALSE(import.m_bEnterBefore);
    EXPECT_FALSE(import.m_bEnterAfter);

    EXPECT_TRUE(store.Empty());
}

TEST(AppSettings, ValuesAreStoredUnderTheirProfileNames) {
    test::CMemoryProfileStore store;
    CAppSettings settings(store);
    settings.SetRememberLastPositionAndSize(0);
    settings.SetTextSettingUp(1);
    settings.SetKeyInputMethod(KEY_INPUT_UNICODE);
    settings.SetCount(0);
    settings.SetRandomOrder(true);
    settings.SetColumnWidth(1, 321);
    settings.SetLastFilePath("/home/u/list.quenbydata");
    settings.SetPlacement(profile::Location1, {1, 2, 3});
    settings.SetNewMessageDefaults({3, 250, false, true});

    const struct {
        const char* name;
        std::int32_t value;
    } expected[] = {
        {"RememberLastPositionAndSize", 0},
        {"TextSettingUp", 1},
        {"m_iKeyInputMethod", 0},
        {"m_iCount", 0},
        {"m_bRandomOrder", 1},
        {"Column1", 321},
        {"m_iNewSeconds", 3},
        {"m_iNewMilliSeconds", 250},
        {"m_bEnterBeforeTyping", 0},
        {"m_bEnterAfterTyping", 1},
    };
    for (const auto& e : expected) {
        EXPECT_EQ(store.GetInt("Settings", e.name, -99), e.value) << e.name;
    }
    EXPECT_EQ(store.GetString("Settings", "LastFilePath"), "/home/u/list.quenbydata");
    EXPECT_EQ(store.GetBinary("Settings", "Location1"), (std::vector<std::uint8_t>{1, 2, 3}));

    // Once stored, the editor and the imports see the same choice.
    EXPECT_FALSE(settings.GetNewMessageDefaults(EDefaultsFor::MessageEditor).m_bEnterBefore);
    EXPECT_TRUE(settings.GetNewMessageDefaults(EDefaultsFor::TextImport).m_bEnterAfter);
    EXPECT_EQ(settings.GetNewMessageDefaults(EDefaultsFor::TextImport).m_iMilliSeconds, 250);
}

TEST(AppSettings, NothingIsCachedBetweenReads) {
    test::CMemoryProfileStore store;
    const CAppSettings settings(store);
    EXPECT_EQ(settings.GetCount(), 5);
    store.WriteInt("Settings", "m_iCount", 12);
    EXPECT_EQ(settings.GetCount(), 12);
}

}  // namespace
}  // namespace quenby
