#include "app/Texts.h"
#include "support/CoreFixture.h"

namespace quenby {
namespace {

using test::Fields;

class MessageEditorTest : public test::CoreFixture {};
class SettingsDialogTest : public test::CoreFixture {};

TEST_F(MessageEditorTest, AddModeStoresTheDefaultsEvenForAnEmptyTextAndProposesThem) {
    CMessageEditorPresenter first(m_settings);
    EXPECT_EQ(first.Caption(), u"Add Message - Quenby by Holvane");
    EXPECT_EQ(first.OnInitDialog(), Fields(u"", 0, 0, true, true, 20, 60));
    const EditorOkResult empty = first.OnOK(Fields(u"", 2, 250, true, false, 5, 7));
    EXPECT_FALSE(empty.m_bAccepted);
    EXPECT_EQ(empty.m_strMessage, text::kEnterText);
    // The next editor proposes the stored delay and flags, but the pauses start at 20 and 60.
    EXPECT_EQ(CMessageEditorPresenter(m_settings).OnInitDialog(),
              Fields(u"", 2, 250, true, false, 20, 60));
    ASSERT_TRUE(first.OnOK(Fields(u" ", 2, 250, true, false, 5, 7)).m_bAccepted);  // blanks count
    EXPECT_EQ(first.m_item, (MessageItem{u" ", 2, 250, true, false, 5, 7}));
}

TEST_F(MessageEditorTest, EditModeAndCancelStoreNothing) {
    CMessageEditorPresenter editor(m_settings);
    editor.SetEditMode(true);
    editor.m_item = MessageItem{u"row", 1, 500, false, false, 100, 10};
    EXPECT_EQ(editor.Caption(), u"Edit Message - Quenby by Holvane");
    EXPECT_EQ(editor.OnInitDialog(), Fields(u"row", 1, 500, false, false, 100, 10));
    EXPECT_TRUE(editor.OnOK(Fields(u"changed", 3, 3, true, true, 100, 10)).m_bAccepted);
    CMessageEditorPresenter(m_settings).OnInitDialog();  // opened and cancelled: no OnOK
    EXPECT_TRUE(m_profile.WriteLog().empty());
}

TEST_F(MessageEditorTest, NumbersThatCannotBeReadKeepTheDialogOpenAndStoreNothing) {
    const struct {
        MessageEditorFields fields;
        EEditorField focus;
    } cases[] = {
        {{u"t", u"", u"0", u"20", u"60"}, EEditorField::Seconds},
        {{u"t", u"1", u"x", u"20", u"60"}, EEditorField::MilliSeconds},
        {{u"t", u"1", u"2147483648", u"20", u"60"}, EEditorField::MilliSeconds},
        {{u"t", u"1", u"0", u"-1", u"60"}, EEditorField::CharDelayMin},
        {{u"t", u"1", u"0", u"20", u"4294967296"}, EEditorField::CharDelayMax},
    };
    for (const auto& c : cases) {
        CMessageEditorPresenter editor(m_settings);
        editor.OnInitDialog();
        const EditorOkResult result = editor.OnOK(c.fields);
        EXPECT_FALSE(result.m_bAccepted);
        EXPECT_EQ(result.m_focus, c.focus);
        EXPECT_FALSE(result.m_strMessage.empty());
    }
    EXPECT_TRUE(m_profile.WriteLog().empty());
    // The extremes that can be read are taken as entered, a minimum above the maximum included.
    CMessageEditorPresenter editor(m_settings);
    ASSERT_TRUE(editor.OnOK({u"t", u"-5", u" 2147483647 ", u"4294967295", u"10"}).m_bAccepted);
    EXPECT_EQ(editor.m_item, (MessageItem{u"t", -5, 2147483647, true, true, 4294967295u, 10}));
}

TEST_F(MessageEditorTest, PlacementIsKeptOnlyWhileRemembered) {
    CMessageEditorPresenter editor(m_settings);
    EXPECT_FALSE(editor.PlacementToRestore().has_value());
    editor.OnDestroy({7, 7});
    EXPECT_EQ(editor.PlacementToRestore(), (std::vector<std::uint8_t>{7, 7}));
    m_settings.SetRememberLastPositionAndSize(0);
    EXPECT_FALSE(editor.PlacementToRestore().has_value());
    editor.OnDestroy({8});
    EXPECT_EQ(m_profile.GetBinary("Settings", "Location1"), (std::vector<std::uint8_t>{7, 7}));
}

TEST(MessageEditorText, PastedLineBreaksBecomeSpacesAndNothingElseChanges) {
    const struct {
        const char16_t* before;
        const char16_t* after;
        const char16_t* shown;
    } cases[] = {
        {u"", u"one\r\ntwo\nthree\rfour", u"one two three four"},
        {u"ab", u"a\n\nb", u"a  b"},  // two breaks, two spaces: nothing is cut
        {u"say !", u"say hi\r\nthere!", u"say hi there!"},  // pasted in the middle
        {u"abc", u"abcd", u"abcd"},                         // typing
        {u"abc", u"ac", u"ac"},                             // deleting
        // A break already in the text (from an encrypted file) stays until it is edited itself.
        {u"x\ny", u"x\nyz", u"x\nyz"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CMessageEditorPresenter::OnTextEdited(c.before, c.after), c.shown)
            << Utf8FromUtf16(c.after);
    }
}

TEST_F(SettingsDialogTest, ShowsTheStoredValuesAndOkStoresThem) {
    CSettingsPresenter dialog(m_settings, m_textSetters, m_pointer);
    EXPECT_EQ(dialog.Caption(), u"Settings - Quenby by Holvane");
    // A run stops when the focus moves unless the user turned that off.
    EXPECT_EQ(dialog.OnInitDialog(), (SettingsFields{1, true, false, true}));
    EXPECT_FALSE(dialog.IsProbing());
    EXPECT_EQ(dialog.StopOnFocusChangeLabel(), u"Stop typing when another window takes the focus");
    dialog.OnOK({0, false, true, false});
    EXPECT_EQ(m_profile.WriteLog().size(), 4u);
    EXPECT_EQ(m_profile.GetInt("Settings", "m_bStopOnFocusChange", 1), 0);
    // A stored method that names neither button checks none.
    m_profile.WriteInt("Settings", "m_iKeyInputMethod", 7);
    CSettingsPresenter again(m_settings, m_textSetters, m_pointer);
    EXPECT_EQ(again.OnInitDialog(), (SettingsFields{-1, false, true, false}));
    EXPECT_TRUE(again.IsProbing());
    // Where the desktop does not tell where the focus is, the line says so.
    again.m_bFocusKnown = false;
    EXPECT_EQ(again.StopOnFocusChangeLabel(), text::kStopOnFocusChangeUnknown);
}

TEST_F(SettingsDialogTest, TheProbeLineSaysWhetherTextCanBeSetUnderThePointer) {
    CSettingsPresenter dialog(m_settings, m_textSetters, m_pointer);
    dialog.OnInitDialog();
    EXPECT_TRUE(dialog.OnSetTextClicked(true));
    EXPECT_EQ(m_textSetters.m_screen.m_iSetters, 0);  // nothing asked before the first tick
    m_pointer.m_position = ScreenPoint{-1280, 15};
    EXPECT_EQ(dialog.OnTimer(), u"No, Cannot Set Text at Cursor Location -1280, 15");
    m_textSetters.m_screen.m_settable[{-1280, 15}] = true;
    EXPECT_EQ(dialog.OnTimer(), u"Yes, Can Set Text at Cursor Location -1280, 15");
    EXPECT_EQ(m_textSetters.m_screen.m_iSetters, 1);  // one connection for the dialog's life
    // Where there is no pointer (Wayland), the field with the keyboard focus.
    m_pointer.m_position = kFocusedField;
    EXPECT_EQ(dialog.OnTimer(), u"No, Cannot Set Text at the Focused Field");
    m_textSetters.m_screen.m_bFocusedFieldSettable = true;
    EXPECT_EQ(dialog.OnTimer(), u"Yes, Can Set Text at the Focused Field");
    m_pointer.m_position.reset();
    EXPECT_FALSE(dialog.OnTimer().has_value());  // the line keeps its text
    EXPECT_FALSE(dialog.OnSetTextClicked(false));
    EXPECT_FALSE(dialog.IsProbing());
}

}  // namespace
}  // namespace quenby
