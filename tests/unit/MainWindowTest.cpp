#include "app/Commands.h"
#include "app/Texts.h"
#include "storage/DataFileCodec.h"
#include "support/ControllerFixture.h"

namespace quenby {
namespace {

using test::Fields;
using test::Item;

class MainWindowTest : public test::ControllerFixture {};

// ---- Start-up and caption ----

TEST_F(MainWindowTest, AFirstStartShowsTheDefaultsAndRegistersNothing) {
    Start();
    EXPECT_EQ(m_view.m_strCount, u"5");
    EXPECT_FALSE(m_view.m_bRandomOrder);
    EXPECT_EQ(m_view.m_columnWidths, (std::array<int, 7>{50, 200, 150, 75, 75, 75, 75}));
    EXPECT_EQ(m_view.m_strCaption, u"Untitled - Quenby by Holvane");
    EXPECT_FALSE(m_shortcut.m_registered.has_value());
    EXPECT_EQ(m_view.m_hotKey, HotKeyCapture{});
    EXPECT_TRUE(m_view.m_messages.empty());
    EXPECT_TRUE(m_view.m_appliedPlacements.empty());
    EXPECT_TRUE(m_profile.Empty());  // nothing written by starting
}

TEST_F(MainWindowTest, TheCommandLineIsOnePathWithItsQuotesRemoved) {
    PutDataFile("/home/u/My Lists/my.list.quenbydata", {Item(u"hello")});
    Start("  \"/home/u/My Lists/my.list.quenbydata\"  ");
    EXPECT_EQ(Controller().DataFilePath(), "/home/u/My Lists/my.list.quenbydata");
    EXPECT_EQ(Controller().List().GetItemCount(), 1u);
    EXPECT_EQ(m_view.m_strCaption, u"my.list - Quenby by Holvane");
    EXPECT_FALSE(m_profile.GetString("Settings", "LastFilePath").has_value());
}

TEST_F(MainWindowTest, AFileFromASplitCommandLineIsTakenAsItIs) {
    PutDataFile(" \"q\" list.quenbydata", {Item(u"hello")});
    Controller().OnInitDialogWithFile(" \"q\" list.quenbydata");
    EXPECT_EQ(Controller().List().GetItemCount(), 1u);
    EXPECT_EQ(m_view.m_strCaption, u" \"q\" list - Quenby by Holvane");
}

TEST_F(MainWindowTest, AFileHandedOverByAnotherStartIsLoadedAfterLoadsQuestion) {
    PutDataFile("/d/other.quenbydata", {Item(u"other")});
    Start();
    AddMessages({Fields(u"unsaved")});
    m_view.m_answers = {EMessageResult::Cancel};
    Controller().OnOpenDataFile("/d/other.quenbydata");
    EXPECT_EQ(Controller().List().GetMessageText(0), u"unsaved");
    EXPECT_EQ(m_view.m_strCaption, u"Untitled - Quenby by Holvane");

    m_view.m_answers = {EMessageResult::No};
    Controller().OnOpenDataFile("/d/other.quenbydata");
    EXPECT_EQ(m_view.MessageTexts(),
              std::vector<std::u16string>(2, std::u16string(text::kAskSaveChanges)));
    EXPECT_EQ(Controller().List().GetMessageText(0), u"other");
    EXPECT_EQ(m_view.m_strCaption, u"other - Quenby by Holvane");
    EXPECT_EQ(m_profile.GetString("Settings", "LastFilePath"), "/d/other.quenbydata");
}

TEST_F(MainWindowTest, CaptionsDropEveryCopyOfTheExtension) {
    const struct {
        const char* path;
        const char16_t* caption;
    } cases[] = {
        {"/d/a.quenbydata.quenbydata", u"a - Quenby by Holvane"},
        {"/d/.quenbydata", u"Untitled - Quenby by Holvane"},
        {"/d/plain", u"plain - Quenby by Holvane"},
        {"/d/x.quenbyencrypteddata", u"x - Quenby by Holvane"},
    };
    for (const auto& c : cases) {
        PutDataFile(c.path, {});
        m_view.m_files = {c.path};
        Controller().OnLoadDataFile();
        EXPECT_EQ(m_view.m_strCaption, c.caption) << c.path;
    }
}

TEST_F(MainWindowTest, AnUnreadableFileIsNeverMadeCurrent) {
    m_files.m_files["/d/cut.quenbydata"] = {1, 0, 0, 0, 5};
    Start("/d/missing.quenbydata");
    EXPECT_TRUE(Controller().DataFilePath().empty());
    EXPECT_EQ(m_view.m_strCaption, u"Untitled - Quenby by Holvane");
    ASSERT_EQ(m_view.m_messages.size(), 1u);
    EXPECT_EQ(m_view.m_messages[0].m_icon, EMessageIcon::Error);
    EXPECT_EQ(m_view.m_messages[0].m_strText.rfind(text::kLoadFailed, 0), 0u);

    AddMessages({Fields(u"keep me")});
    m_view.m_files = {"/d/cut.quenbydata"};
    m_view.m_answers = {EMessageResult::No};  // do not save the unsaved list first
    Controller().OnLoadDataFile();
    EXPECT_EQ(Controller().List().GetItemCount(), 1u);  // the list is untouched
    EXPECT_TRUE(Controller().DataFilePath().empty());
    EXPECT_EQ(m_profile.GetString("Settings", "LastFilePath"), "/d/cut.quenbydata");
    // A later change does not write over the file that could not be read.
    AddMessages({Fields(u"more")});
    EXPECT_EQ(m_files.m_files["/d/cut.quenbydata"], (std::vector<std::uint8_t>{1, 0, 0, 0, 5}));
}

TEST_F(MainWindowTest, PlacementIsRestoredOnlyWhenRemembered) {
    m_profile.WriteBinary("Settings", "Location", {9, 9});
    Start();
    EXPECT_EQ(m_view.m_appliedPlacements, (std::vector<std::vector<std::uint8_t>>{{9, 9}}));

    test::CFakeMainView other;
    m_profile.WriteInt("Settings", "RememberLastPositionAndSize", 0);
    std::atomic<bool> flag{false};
    CQuenbyController second(MainWindowServices{other, m_profile, m_files, &m_protector, m_clock,
                                                m_pointer, m_shortcut, m_shell, m_syncTypist,
                                                m_textSetters, flag});
    second.OnInitDialog({});
    EXPECT_TRUE(other.m_appliedPlacements.empty());
}

// ---- Closing ----

TEST_F(MainWindowTest, TheCloseQuestionInAllItsBranches) {
    struct Case {
        const char* what;
        std::deque<EMessageResult> answers;
        std::deque<std::filesystem::path> files;
        bool closes;
    };
    const Case cases[] = {
        {"cancel", {EMessageResult::Cancel}, {}, false},
        {"yes, then cancel the dialog", {EMessageResult::Yes}, {}, false},
        {"yes and save", {EMessageResult::Yes}, {"/d/saved"}, true},
        {"no", {EMessageResult::No}, {}, true},
    };
    for (const Case& c : cases) {
        CQuenbyController& controller = Restart();
        m_view.m_editorScript = test::EditorEnters(Fields(u"unsaved"));
        controller.OnAddNew();
        m_view.m_answers = c.answers;
        m_view.m_files = c.files;
        controller.OnCommand(ID_EXIT);
        EXPECT_EQ(m_view.m_bDestroyed, c.closes) << c.what;
        ASSERT_FALSE(m_view.m_messages.empty()) << c.what;
        EXPECT_EQ(m_view.m_messages[0].m_strText, text::kAskSaveChanges) << c.what;
        EXPECT_EQ(m_view.m_messages[0].m_buttons, EMessageButtons::YesNoCancel) << c.what;
        EXPECT_EQ(m_view.m_messages[0].m_icon, EMessageIcon::Question) << c.what;
        const bool saved = m_files.m_files.count("/d/saved.quenbydata") != 0;
        EXPECT_EQ(saved, c.files.size() == 1) << c.what;
    }
}

TEST_F(MainWindowTest, ImportedLinesAreUnsavedChangesButAnEmptyImportOrDeleteAllIsNot) {
    Start();
    m_files.m_files["/d/empty.txt"] = {};
    m_files.m_files["/d/lines.txt"] = {'a', '\n', 'b'};
    m_view.m_files = {"/d/empty.txt"};
    Controller().OnAppendFromSimpleTextFile();
    Controller().OnDeleteAllRecords();
    EXPECT_FALSE(Controller().IsModified());
    m_view.m_files = {"/d/lines.txt"};
    Controller().OnAppendFromSimpleTextFile();
    Controller().OnClose();
    EXPECT_FALSE(m_view.m_bDestroyed);  // asked, and the fake's default answer is Cancel
    EXPECT_EQ(m_view.MessageTexts(),
              std::vector<std::u16string>{std::u16string(text::kAskSaveChanges)});
}

TEST_F(MainWindowTest, LoadAsksAboutUnsavedChangesFirst) {
    struct Case {
        const char* what;
        std::deque<EMessageResult> answers;
        std::deque<std::filesystem::path> files;  // the save dialog's, then the load dialog's
        std::vector<std::u16string> list;         // the window's list afterwards
        bool savedFirst;
    };
    const Case cases[] = {
        {"cancel keeps everything",
         {EMessageResult::Cancel},
         {"/d/other.quenbydata"},
         {u"unsaved"},
         false},
        {"yes, save dialog cancelled: nothing loaded",
         {EMessageResult::Yes},
         {},
         {u"unsaved"},
         false},
        {"yes saves, then loads",
         {EMessageResult::Yes},
         {"/d/saved.quenbydata", "/d/other.quenbydata"},
         {u"other"},
         true},
        {"no discards", {EMessageResult::No}, {"/d/other.quenbydata"}, {u"other"}, false},
    };
    for (const Case& c : cases) {
        CQuenbyController& controller = Restart();
        PutDataFile("/d/other.quenbydata", {Item(u"other")});
        m_view.m_editorScript = test::EditorEnters(Fields(u"unsaved"));
        controller.OnAddNew();
        m_view.m_answers = c.answers;
        m_view.m_files = c.files;
        controller.OnCommand(ID_LOAD);
        EXPECT_EQ(m_view.MessageTexts(),
                  std::vector<std::u16string>{std::u16string(text::kAskSaveChanges)})
            << c.what;
        std::vector<std::u16string> texts;
        for (std::size_t row = 0; row < controller.List().GetItemCount(); ++row) {
            texts.push_back(controller.List().GetMessageText(row));
        }
        EXPECT_EQ(texts, c.list) << c.what;
        EXPECT_EQ(m_files.m_files.count("/d/saved.quenbydata") != 0, c.savedFirst) << c.what;
        if (c.savedFirst) {
            EXPECT_EQ(FileItems("/d/saved.quenbydata").at(0).m_strText, u"unsaved");
        }
    }
    // With the list in a data file there is nothing to ask.
    m_view = test::CFakeMainView{};
    m_view.m_files = {"/d/other.quenbydata"};
    Controller().OnLoadDataFile();
    m_view.m_files = {"/d/other.quenbydata"};
    Controller().OnLoadDataFile();
    EXPECT_TRUE(m_view.m_messages.empty());
}

TEST_F(MainWindowTest, SavingNeverReplacesAFileWithoutAskingAboutThatFile) {
    struct Case {
        const char* what;
        std::deque<std::filesystem::path> typed;  // names the save dialog returns, in turn
        std::deque<EMessageResult> answers;
        std::optional<std::filesystem::path> written;
        std::vector<std::u16string> questions;  // the names asked about
    };
    const Case cases[] = {
        {"extension added, file exists, yes",
         {"/d/list"},
         {EMessageResult::Yes},
         "/d/list.quenbydata",
         {u"list.quenbydata"}},
        {"no, then another name",
         {"/d/list", "/d/new"},
         {EMessageResult::No},
         "/d/new.quenbydata",
         {u"list.quenbydata"}},
        {"no, then cancel", {"/d/list"}, {EMessageResult::No}, std::nullopt, {u"list.quenbydata"}},
        // A name with an extension is the one the dialog itself asked about.
        {"typed with the extension", {"/d/list.quenbydata"}, {}, "/d/list.quenbydata", {}},
        {"new name", {"/d/fresh"}, {}, "/d/fresh.quenbydata", {}},
    };
    for (const Case& c : cases) {
        CQuenbyController& controller = Restart();
        PutDataFile("/d/list.quenbydata", {Item(u"precious")});
        const std::vector<std::uint8_t> precious = m_files.m_files["/d/list.quenbydata"];
        m_view.m_editorScript = test::EditorEnters(Fields(u"current"));
        controller.OnAddNew();
        m_view.m_files = c.typed;
        m_view.m_answers = c.answers;
        EXPECT_EQ(controller.SaveDataFileAs(), c.written.has_value()) << c.what;
        std::vector<std::u16string> questions;
        for (const test::ShownMessage& m : m_view.m_messages) {
            EXPECT_EQ(m.m_buttons, EMessageButtons::YesNo) << c.what;
            questions.push_back(m.m_strText.substr(0, m.m_strText.find(u' ')));
        }
        EXPECT_EQ(questions, c.questions) << c.what;
        EXPECT_EQ(controller.DataFilePath(), c.written.value_or("")) << c.what;
        if (c.written != "/d/list.quenbydata") {
            EXPECT_EQ(m_files.m_files["/d/list.quenbydata"], precious) << c.what;
        }
        if (c.written) {
            EXPECT_EQ(FileItems(*c.written).at(0).m_strText, u"current") << c.what;
        }
    }
}

TEST_F(MainWindowTest, ColumnsTakeStoredWidthsOrDefaultsFittedToTheirHeadings) {
    m_profile.WriteInt("Settings", "Column1", 33);
    m_view.m_iHeadingWidth = 90;  // wider than the 75 of the narrow columns' default
    Start();
    EXPECT_EQ(m_view.m_columnWidths, (std::array<int, 7>{90, 33, 150, 90, 90, 90, 90}));
}

TEST_F(MainWindowTest, AFailedWriteKeepsTheWindowOpenUntilTheListIsSafe) {
    Start();
    m_view.m_files = {"/d/list.quenbydata"};
    Controller().SaveDataFileAs();
    // A lone CR arrives through the simple import: the plain file cannot hold it.
    m_files.m_files["/d/cr.txt"] = {'a', '\r', 'b'};
    m_view.m_files = {"/d/cr.txt"};
    Controller().OnAppendFromSimpleTextFile();
    ASSERT_FALSE(m_view.m_messages.empty());
    EXPECT_NE(m_view.m_messages.back().m_strText.find(u"Message 1 contains a line break"),
              std::u16string::npos);
    EXPECT_EQ(FileItems("/d/list.quenbydata").size(), 0u);  // the old content, whole

    // Closing now asks, and saving again in the plain form fails again: the window stays.
    m_view.m_answers = {EMessageResult::Yes};
    m_view.m_files = {"/d/again.quenbydata"};
    Controller().OnClose();
    EXPECT_FALSE(m_view.m_bDestroyed);
    // Saved in the partly encrypted form, the list is safe and the window closes.
    m_view.m_answers = {EMessageResult::Yes};
    m_view.m_files = {"/d/safe.quenbyencrypteddata"};
    Controller().OnClose();
    EXPECT_TRUE(m_view.m_bDestroyed);
    ASSERT_EQ(FileItems("/d/safe.quenbyencrypteddata").size(), 1u);
    EXPECT_EQ(FileItems("/d/safe.quenbyencrypteddata")[0].m_strText, u"a\rb");
}

TEST_F(MainWindowTest, DestructionStoresRandomOrderPlacementAndWidths) {
    Start();
    m_view.m_bRandomOrder = true;
    m_view.m_columnWidths[1] = 333;
    Controller().OnClose();
    EXPECT_EQ(m_profile.GetInt("Settings", "m_bRandomOrder", 0), 1);
    EXPECT_EQ(m_profile.GetBinary("Settings", "Location"), (std::vector<std::uint8_t>{1, 2, 3, 4}));
    EXPECT_EQ(m_profile.GetInt("Settings", "Column1", 0), 333);
    EXPECT_FALSE(m_profile.HasInt("Settings", "m_iCount"));  // stored only as it changes
}

TEST_F(MainWindowTest, AMinimisedOrHiddenWindowKeepsItsStoredPlacement) {
    Start();
    Controller().OnCommand(IDC_HIDE_TO_TRAY);
    EXPECT_TRUE(m_view.m_bHidden);
    m_view.m_bMinimized = true;
    Controller().OnCommand(ID_EXIT);
    EXPECT_TRUE(m_view.m_bDestroyed);
    EXPECT_FALSE(m_profile.GetBinary("Settings", "Location").has_value());
}

// ---- List editing ----

TEST_F(MainWindowTest, AddEditDeleteWriteThroughToTheCurrentFile) {
    Start();
    m_view.m_files = {"/d/list"};
    Controller().SaveDataFileAs();
    EXPECT_EQ(Controller().DataFilePath(), "/d/list.quenbydata");
    AddMessages({Fields(u"one", 0, 1500), Fields(u"two"), Fields(u"three")});
    EXPECT_EQ(FileItems("/d/list.quenbydata").size(), 3u);
    EXPECT_EQ(FileItems("/d/list.quenbydata")[0], Item(u"one", 1, 500, true, true, 20, 60));

    m_view.m_selected = 1;
    m_view.m_editorScript = [](CMessageEditorPresenter& editor) {
        MessageEditorFields fields = editor.OnInitDialog();
        EXPECT_EQ(fields.m_strText, u"two");
        fields.m_strText = u"TWO";
        return editor.OnOK(fields).m_bAccepted;
    };
    Controller().OnEditSelected();
    EXPECT_EQ(Controller().List().GetCellText(1, COLUMN_SR), u"2");
    EXPECT_EQ(FileItems("/d/list.quenbydata")[1].m_strText, u"TWO");
    EXPECT_FALSE(m_view.m_selected.has_value());

    m_view.m_selected = 0;
    Controller().OnCommand(ID_DELETE_SELECTED_RECORD);
    EXPECT_EQ(Controller().List().GetCellText(0, COLUMN_SR), u"1");
    EXPECT_EQ(Controller().List().GetCellText(1, COLUMN_SR), u"2");
    EXPECT_EQ(FileItems("/d/list.quenbydata").size(), 2u);

    Controller().OnCommand(ID_DELETE_ALL_RECORDS);
    EXPECT_EQ(m_files.m_files["/d/list.quenbydata"], (std::vector<std::uint8_t>{0, 0, 0, 0}));
    EXPECT_TRUE(m_view.m_messages.empty());
}

TEST_F(MainWindowTest, EditAndDeleteWithoutASelectionSaySo) {
    Start();
    AddMessages({Fields(u"a")});
    Controller().OnEditSelected();
    Controller().OnDeleteSelected();
    EXPECT_EQ(m_view.MessageTexts(),
              (std::vector<std::u16string>{std::u16string(text::kSelectToEdit),
                                           std::u16string(text::kSelectToDelete)}));
    EXPECT_EQ(Controller().List().GetItemCount(), 1u);
}

TEST_F(MainWindowTest, CancelledEditorsChangeNothing) {
    Start();
    m_view.m_editorScript = [](CMessageEditorPresenter&) { return false; };
    Controller().OnAddNew();
    EXPECT_EQ(Controller().List().GetItemCount(), 0u);
    EXPECT_FALSE(Controller().IsModified());
    EXPECT_EQ(m_view.m_editorCaptions,
              (std::vector<std::u16string>{u"Add Message - Quenby by Holvane"}));
}

// ---- Files ----

TEST_F(MainWindowTest, SaveAndLoadShowTheirNoticesOnceSilenced) {
    Start();
    m_view.m_bSuppressNotices = true;
    m_view.m_files = {"/d/s.quenbyencrypteddata"};
    Controller().SaveDataFileAs();
    m_view.m_files = {"/d/s.quenbyencrypteddata"};
    Controller().OnLoadDataFile();
    EXPECT_EQ(m_view.m_notices,
              (std::vector<std::u16string>{std::u16string(text::kPlainFileWarning),
                                           std::u16string(text::kEncryptedFileWarning)}));
    EXPECT_EQ(m_profile.GetInt("DontShowAgain", "{e9108ba3-aa61-4398-dfbc-b02102c88e9b}", 0), 1);
    m_view.m_files = {"/d/s.quenbyencrypteddata"};
    Controller().SaveDataFileAs();
    m_view.m_files = {"/d/s.quenbyencrypteddata"};
    Controller().OnLoadDataFile();
    EXPECT_EQ(m_view.m_notices.size(), 2u);
    EXPECT_EQ(m_protector.m_iProtectCalls, 0);  // an empty list seals nothing
}

TEST_F(MainWindowTest, AnEncryptedFileComesBackWholeThroughTheCommands) {
    Start();
    AddMessages({Fields(u"secret \u00e9", 2, 5), Fields(u"line\r\nbreak")});
    m_view.m_files = {"/d/x.quenbyencrypteddata"};
    EXPECT_TRUE(Controller().SaveDataFileAs());
    EXPECT_EQ(m_profile.GetString("Settings", "LastFilePath"), "/d/x.quenbyencrypteddata");

    test::CFakeMainView view;
    std::atomic<bool> flag{false};
    CQuenbyController restarted(MainWindowServices{view, m_profile, m_files, &m_protector, m_clock,
                                                   m_pointer, m_shortcut, m_shell, m_syncTypist,
                                                   m_textSetters, flag});
    restarted.OnInitDialog(test::NativeText("\"/d/x.quenbyencrypteddata\""));
    ASSERT_EQ(restarted.List().GetItemCount(), 2u);
    EXPECT_EQ(restarted.List().GetMessageItem(0), Item(u"secret \u00e9", 2, 5, true, true, 20, 60));
    EXPECT_EQ(restarted.List().GetMessageText(1), u"line\r\nbreak");
    EXPECT_EQ(view.m_notices,
              (std::vector<std::u16string>{std::u16string(text::kEncryptedFileWarning)}));
}

TEST_F(MainWindowTest, ImportsAppendWithTheStoredDefaultsAndFixedPauses) {
    Start();
    m_files.m_files["/d/a.txt"] = {'a', 0x0D, 0x0A, 0x0D, 0x0A, 'b'};
    m_files.m_files["/d/w.txt"] = {0xFF, 0xFE, 'x', 0, 0x0A, 0};
    m_view.m_files = {"/d/a.txt"};
    Controller().OnCommand(ID_APPEND_SIMPLE_TEXT);
    ASSERT_EQ(Controller().List().GetItemCount(), 3u);
    EXPECT_EQ(Controller().List().GetMessageItem(1), Item(u"", 0, 0, false, false, 20, 60));
    EXPECT_EQ(Controller().List().GetCellText(0, COLUMN_DELAY), u"No Delay");

    AddMessages({Fields(u"sets defaults", 2, 250, true, false)});
    m_view.m_files = {"/d/w.txt"};
    Controller().OnCommand(ID_APPEND_UNICODE_TEXT);
    ASSERT_EQ(Controller().List().GetItemCount(), 5u);
    EXPECT_EQ(Controller().List().GetMessageItem(4), Item(u"x", 2, 250, true, false, 20, 60));
    m_view.m_files = {"/d/missing.txt"};
    Controller().OnAppendFromSimpleTextFile();
    EXPECT_EQ(Controller().List().GetItemCount(), 5u);
    EXPECT_EQ(m_view.m_messages.back().m_strText.rfind(text::kImportFailed, 0), 0u);
}

TEST_F(MainWindowTest, ShowCurrentDataFile) {
    Start();
    Controller().OnCommand(ID_SHOW_CURRENT_DATA_FILE);
    EXPECT_EQ(m_view.MessageTexts(),
              (std::vector<std::u16string>{std::u16string(text::kNoDataFile)}));
    m_view.m_files = {"/d/l.quenbydata"};
    Controller().SaveDataFileAs();
    Controller().OnCommand(ID_SHOW_CURRENT_DATA_FILE);
    EXPECT_EQ(m_shell.m_shown, (std::vector<std::filesystem::path>{"/d/l.quenbydata"}));
}

// ---- The shortcut ----

TEST_F(MainWindowTest, AssignStoresRegistersAndShowsTheShortcutAgain) {
    Start();
    m_view.m_hotKey = HotKeyCapture{0x74, true, false, true, false, false};  // Ctrl+Shift+F5
    Controller().OnCommand(IDC_ASSIGN_HOTKEY);
    EXPECT_EQ(m_profile.GetInt("Settings", "StartStopAutomaticTyping Key", 0), 0x74);
    EXPECT_EQ(m_profile.GetInt("Settings", "StartStopAutomaticTyping Mod", 0), 6);
    EXPECT_EQ(m_shortcut.m_registered, (std::pair<std::uint16_t, std::uint16_t>{0x74, 6}));
    EXPECT_EQ(m_view.m_hotKey, (HotKeyCapture{0x74, true, false, true, false, false}));

    // Ctrl with the separate Home key stays Ctrl+Home: no Windows-key modifier appears.
    m_view.m_hotKey = HotKeyCapture{0x24, true, false, false, false, true};
    Controller().OnAssignHotKey();
    EXPECT_EQ(m_profile.GetInt("Settings", "StartStopAutomaticTyping Mod", 0), 2);
    EXPECT_EQ(m_shortcut.m_registered, (std::pair<std::uint16_t, std::uint16_t>{0x24, 2}));

    Controller().OnCommand(IDC_CLEAR_HOTKEY);
    EXPECT_EQ(m_profile.GetInt("Settings", "StartStopAutomaticTyping Key", -1), 0);
    EXPECT_EQ(m_profile.GetInt("Settings", "StartStopAutomaticTyping Mod", -1), 0);
    EXPECT_FALSE(m_shortcut.m_registered.has_value());
    EXPECT_TRUE(m_view.m_messages.empty());
}

TEST_F(MainWindowTest, ARefusedShortcutOrStoreIsReported) {
    m_profile.WriteInt("Settings", "StartStopAutomaticTyping Key", 0x78);
    m_profile.WriteInt("Settings", "StartStopAutomaticTyping Mod", 1);
    m_shortcut.m_taken[{0x78, 1}] = true;
    Start();
    EXPECT_EQ(m_view.MessageTexts(),
              (std::vector<std::u16string>{std::u16string(text::kHotKeySetupFailed)}));
    EXPECT_EQ(m_view.m_messages[0].m_icon, EMessageIcon::Error);
    EXPECT_EQ(m_view.m_hotKey, (HotKeyCapture{0x78, false, true, false, false, false}));

    m_profile.RefuseWritesOf("StartStopAutomaticTyping Key");
    m_view.m_hotKey = HotKeyCapture{0x70, true};
    Controller().OnAssignHotKey();
    // The store failed, and what the profile still holds is applied (and refused) again.
    EXPECT_EQ(m_view.m_messages[1].m_strText, text::kHotKeyStoreFailed);
    EXPECT_EQ(m_view.m_messages[2].m_strText, text::kHotKeySetupFailed);
    EXPECT_EQ(m_view.m_hotKey.m_wVirtualKey, 0x78);
}

// ---- Menus ----

TEST_F(MainWindowTest, LinksSettingsAndInformation) {
    Start();
    for (int command : {ID_VISIT_SITE, ID_SHARE_FACEBOOK, ID_SHARE_TWITTER, ID_ANOTHER_SOFTWARE}) {
        EXPECT_TRUE(Controller().OnCommand(command));
    }
    Controller().OnHelpInfo();
    ASSERT_EQ(m_shell.m_opened.size(), 5u);
    EXPECT_EQ(m_shell.m_opened[0], text::kHomePage);
    EXPECT_NE(m_shell.m_opened[1].find("/sharer.php?u="), std::string::npos);
    EXPECT_NE(m_shell.m_opened[2].find("/share?url="), std::string::npos);
    EXPECT_EQ(m_shell.m_opened[4], text::kHomePage);

    Controller().OnCommand(ID_ENCRYPTION_INFO);
    ASSERT_EQ(m_view.m_messages.size(), 1u);
    EXPECT_EQ(m_view.m_messages[0].m_strText.rfind(text::kEncryptionInfo, 0), 0u);
    EXPECT_NE(m_view.m_messages[0].m_strText.find(u"a test key"), std::u16string::npos);

    Controller().OnCommand(ID_SETTINGS);
    EXPECT_EQ(m_view.m_iSettingsRuns, 1);
    Controller().OnCommand(IDC_HIDE_TO_TRAY);
    EXPECT_TRUE(m_view.m_bHidden);
    Controller().OnCommand(ID_CONFIGURE);
    EXPECT_FALSE(m_view.m_bHidden);
    EXPECT_FALSE(Controller().OnCommand(12345));
}

TEST_F(MainWindowTest, EveryMenuCommandIsHandled) {
    Start();
    for (const MenuItem& item : kMainMenu) {
        if (item.m_iCommand != ID_SEPARATOR && item.m_iCommand != ID_EXIT) {
            EXPECT_TRUE(Controller().OnCommand(item.m_iCommand)) << item.m_iCommand;
        }
    }
    for (const MenuItem& item : kTrayMenu) {
        if (item.m_iCommand != ID_SEPARATOR) {
            EXPECT_TRUE(Controller().OnCommand(item.m_iCommand)) << item.m_iCommand;
        }
    }
    EXPECT_TRUE(m_view.m_bDestroyed);  // Exit, with nothing unsaved
}

}  // namespace
}  // namespace quenby
