// How start/stop is bound in each kind of session, and set-text where there is no pointer.
#include "app/DesktopSession.h"
#include "app/Texts.h"
#include "storage/DataFileCodec.h"
#include "support/ControllerFixture.h"

namespace quenby {
namespace {

using test::Item;

class DesktopSessionTest : public test::ControllerFixture {
protected:
    // Wayland without the GlobalShortcuts portal: the desktop runs `quenby --toggle`.
    void WaylandOn(std::string desktop) {
        m_session = DesktopSession{true, std::move(desktop), false};
    }
    void StoreCtrlShiftF5() {
        m_profile.WriteInt("Settings", "StartStopAutomaticTyping Key", 0x74);
        m_profile.WriteInt("Settings", "StartStopAutomaticTyping Mod", 6);
    }
};

TEST(DesktopFamilyTest, TheFirstKnownNameOfTheListDecides) {
    EXPECT_EQ(DesktopFamilyOf("GNOME"), EDesktopFamily::Gnome);
    EXPECT_EQ(DesktopFamilyOf("ubuntu:GNOME"), EDesktopFamily::Gnome);
    EXPECT_EQ(DesktopFamilyOf("KDE"), EDesktopFamily::Kde);
    EXPECT_EQ(DesktopFamilyOf("sway"), EDesktopFamily::Wlroots);
    EXPECT_EQ(DesktopFamilyOf("Hyprland"), EDesktopFamily::Wlroots);
    EXPECT_EQ(DesktopFamilyOf("XFCE"), EDesktopFamily::Other);
    EXPECT_EQ(DesktopFamilyOf(""), EDesktopFamily::Other);
    EXPECT_EQ(DesktopFamilyOf("GNOMEISH:kde"), EDesktopFamily::Kde);  // whole names only
}

TEST_F(DesktopSessionTest, UnderX11TheFieldsCombinationIsRegisteredAndNothingIsSaid) {
    StoreCtrlShiftF5();
    Start();
    EXPECT_EQ(m_shortcut.m_registered, (std::pair<std::uint16_t, std::uint16_t>{0x74, 6}));
    EXPECT_EQ(m_view.m_strHotKeyHint, u"");
    EXPECT_TRUE(m_view.m_messages.empty());
}

TEST_F(DesktopSessionTest, TheFirstWaylandStartSaysOnceHowToBindTheKeyOnThisDesktop) {
    WaylandOn("sway");
    Start();
    ASSERT_EQ(m_view.m_messages.size(), 1u);
    EXPECT_EQ(m_view.m_messages[0].m_strText, text::kBindToggleWlroots);
    EXPECT_EQ(m_view.m_messages[0].m_icon, EMessageIcon::Information);
    EXPECT_EQ(m_view.m_strHotKeyHint, text::kBindToggleHintWayland);

    Restart();
    EXPECT_TRUE(m_view.m_messages.empty());
    EXPECT_EQ(m_view.m_strHotKeyHint, text::kBindToggleHintWayland);  // the line stays

    // Another desktop binds keys its own way: its first start says how.
    WaylandOn("ubuntu:GNOME");
    Restart();
    EXPECT_EQ(m_view.MessageTexts(),
              std::vector<std::u16string>{std::u16string(text::kBindToggleGnome)});
    WaylandOn("KDE");
    Restart();
    EXPECT_EQ(m_view.MessageTexts(),
              std::vector<std::u16string>{std::u16string(text::kBindToggleKde)});
    WaylandOn("");
    Restart();
    EXPECT_EQ(m_view.MessageTexts(),
              std::vector<std::u16string>{std::u16string(text::kBindToggleOther)});
}

TEST_F(DesktopSessionTest, WithoutAShortcutServiceAStoredCombinationIsKeptButNeverFails) {
    WaylandOn("sway");
    StoreCtrlShiftF5();
    Start();
    // Shown, so the user sees what an X11 session would register; not registered, no error.
    EXPECT_EQ(m_view.m_hotKey.m_wVirtualKey, 0x74);
    EXPECT_FALSE(m_shortcut.m_registered.has_value());
    EXPECT_EQ(m_view.MessageTexts(),
              std::vector<std::u16string>{std::u16string(text::kBindToggleWlroots)});
    m_view.m_hotKey = HotKeyCapture{0x78, false, true};  // Alt+F9
    Controller().OnAssignHotKey();
    EXPECT_EQ(m_profile.GetInt("Settings", "StartStopAutomaticTyping Key", 0), 0x78);
    EXPECT_FALSE(m_shortcut.m_registered.has_value());
    EXPECT_EQ(m_view.m_messages.size(), 1u);
}

TEST_F(DesktopSessionTest, AWaylandDesktopWithAShortcutServiceRegistersAndSaysNothing) {
    m_session = DesktopSession{true, "GNOME", true};
    StoreCtrlShiftF5();
    Start();
    EXPECT_EQ(m_shortcut.m_registered, (std::pair<std::uint16_t, std::uint16_t>{0x74, 6}));
    EXPECT_EQ(m_view.m_strHotKeyHint, u"");
    EXPECT_TRUE(m_view.m_messages.empty());
}

TEST_F(DesktopSessionTest, WithoutAPointerPositionSetTextGoesToTheFocusedField) {
    m_pointer.m_position = kFocusedField;
    m_profile.WriteInt("Settings", "TextSettingUp", 1);
    m_profile.WriteInt("Settings", "m_iCount", 1);
    m_profile.WriteInt("Settings", "m_iKeyInputMethod", 0);
    m_textSetters.m_screen.m_bFocusedFieldSettable = true;
    PutDataFile("/l.quenbydata", {Item(u"into the focus")});
    Start("/l.quenbydata");
    PressHotKey();
    RunUntilIdle();
    ASSERT_EQ(m_textSetters.m_screen.m_sets.size(), 1u);
    EXPECT_EQ(m_textSetters.m_screen.m_sets[0].first, kFocusedField);
    EXPECT_EQ(m_textSetters.m_screen.m_sets[0].second, u"into the focus");
    EXPECT_TRUE(TypedMessages().empty());

    // A focused field that takes no text (read-only, a button): the message is typed.
    m_textSetters.m_screen.m_bFocusedFieldSettable = false;
    PressHotKey();
    RunUntilIdle();
    EXPECT_EQ(m_textSetters.m_screen.m_sets.size(), 1u);
    EXPECT_EQ(TypedMessages().size(), 1u);
}

TEST_F(DesktopSessionTest, TheProbeLineNamesTheFocusedFieldInsteadOfCoordinates) {
    m_pointer.m_position = kFocusedField;
    CAppSettings settings(m_profile);
    CSettingsPresenter dialog(settings, m_textSetters, m_pointer);
    dialog.OnInitDialog();
    EXPECT_TRUE(dialog.OnSetTextClicked(true));
    EXPECT_EQ(dialog.OnTimer(), u"No, Cannot Set Text at the Focused Field");
    m_textSetters.m_screen.m_bFocusedFieldSettable = true;
    EXPECT_EQ(dialog.OnTimer(), u"Yes, Can Set Text at the Focused Field");
}

}  // namespace
}  // namespace quenby
