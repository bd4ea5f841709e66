#include <set>

#include "app/Commands.h"
#include "app/DesktopSession.h"
#include "app/Texts.h"
#include "support/CoreFixture.h"

namespace quenby {
namespace {

using test::Fields;
using test::Item;
using Texts = std::vector<std::u16string_view>;
using Bytes = std::vector<std::uint8_t>;

class MainWindowTest : public test::CoreFixture {
protected:
    // The file dialog returns this name; then the command runs.
    void Run(int command, const std::filesystem::path& chosen) {
        m_view.m_files = {chosen};
        Controller().OnCommand(command);
    }
    void StoreShortcut(int key, int modifiers) {
        m_profile.WriteInt("Settings", "StartStopAutomaticTyping Key", key);
        m_profile.WriteInt("Settings", "StartStopAutomaticTyping Mod", modifiers);
    }
};

TEST_F(MainWindowTest, AFirstStartShowsTheDefaultsAndRegistersNothing) {
    m_view.m_iHeadingWidth = 90;  // wider than the 75 of the narrow columns' default
    Start();
    EXPECT_EQ(m_view.m_columnWidths, (std::array<int, 7>{90, 200, 150, 90, 90, 90, 90}));
    EXPECT_EQ(m_view.m_strCount, u"5");
    EXPECT_FALSE(m_view.m_bRandomOrder);
    EXPECT_EQ(m_view.m_strCaption, u"Untitled - Quenby by Holvane");
    EXPECT_FALSE(m_shortcut.m_registered.has_value());
    EXPECT_EQ(m_view.m_hotKey, HotKeyCapture{});
    EXPECT_TRUE(m_view.m_messages.empty());
    EXPECT_TRUE(m_view.m_appliedPlacements.empty());
    EXPECT_TRUE(m_profile.WriteLog().empty());  // nothing written by starting
}

TEST_F(MainWindowTest, TheCommandLineIsOnePathWithItsQuotesRemovedAndCaptionsDropTheExtension) {
    // A file from a command line the system has split is taken as it is, quotes and blanks too.
    PutDataFile(" \"q\" list.quenbydata", {Item(u"hello")});
    Controller().OnInitDialogWithFile(" \"q\" list.quenbydata");
    EXPECT_EQ(m_view.m_strCaption, u" \"q\" list - Quenby by Holvane");

    PutDataFile("/home/u/My Lists/my.list.quenbydata", {Item(u"hello")});
    Restart("  \"/home/u/My Lists/my.list.quenbydata\"  ");
    EXPECT_EQ(Controller().DataFilePath(), "/home/u/My Lists/my.list.quenbydata");
    EXPECT_EQ(Controller().List().GetItemCount(), 1u);
    EXPECT_EQ(m_view.m_strCaption, u"my.list - Quenby by Holvane");
    EXPECT_FALSE(m_profile.GetString("Settings", "LastFilePath").has_value());
    // Captions drop every copy of the extension.
    for (const auto& [path, name] : {std::pair{"/d/a.quenbydata.quenbydata", u"a"},
                                     {"/d/.quenbydata", u"Untitled"},
                                     {"/d/plain", u"plain"},
                                     {"/d/x.quenbyencrypteddata", u"x"}}) {
        PutDataFile(path, {});
        Run(ID_LOAD, path);
        EXPECT_EQ(m_view.m_strCaption, name + std::u16string(u" - Quenby by Holvane")) << path;
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
    m_view.m_answers = {EMessageResult::No};  // do not save the unsaved list first
    Run(ID_LOAD, "/d/cut.quenbydata");
    EXPECT_EQ(Controller().List().GetItemCount(), 1u);  // the list is untouched
    EXPECT_TRUE(Controller().DataFilePath().empty());
    EXPECT_EQ(m_profile.GetString("Settings", "LastFilePath"), "/d/cut.quenbydata");
    // A later change does not write over the file that could not be read.
    AddMessages({Fields(u"more")});
    EXPECT_EQ(m_files.m_files["/d/cut.quenbydata"], (Bytes{1, 0, 0, 0, 5}));
}

TEST_F(MainWindowTest, LoadAndCloseAskAboutUnsavedChangesFirst) {
    enum EHow { kLoad, kHandedOver, kExit };  // handed over by another start of the program
    const struct {
        EHow how;
        EMessageResult answer;
        std::deque<std::filesystem::path> files;  // the save dialog's, then the load dialog's
        std::u16string message;                   // the window's one message after; "": closed
    } cases[] = {
        {kLoad, EMessageResult::Cancel, {"/d/other.quenbydata"}, u"unsaved"},
        {kLoad, EMessageResult::Yes, {}, u"unsaved"},  // the save dialog cancelled: nothing loaded
        {kLoad, EMessageResult::Yes, {"/d/saved", "/d/other.quenbydata"}, u"other"},
        {kLoad, EMessageResult::No, {"/d/other.quenbydata"}, u"other"},
        {kExit, EMessageResult::Cancel, {}, u"unsaved"},
        {kExit, EMessageResult::Yes, {}, u"unsaved"},
        {kExit, EMessageResult::Yes, {"/d/saved"}, u""},
        {kExit, EMessageResult::No, {}, u""},
        {kHandedOver, EMessageResult::Cancel, {}, u"unsaved"},
        {kHandedOver, EMessageResult::No, {}, u"other"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        m_files.m_files.clear();
        Restart();
        PutDataFile("/d/other.quenbydata", {Item(u"other")});
        AddMessages({Fields(u"unsaved")});
        m_view.m_answers = {c.answer};
        m_view.m_files = c.files;
        c.how == kHandedOver ? Controller().OnOpenDataFile("/d/other.quenbydata")
                             : (void)Controller().OnCommand(c.how == kLoad ? ID_LOAD : ID_EXIT);
        ASSERT_EQ(m_view.MessageTexts(), Texts{text::kAskSaveChanges});
        EXPECT_EQ(m_view.m_messages[0].m_buttons, EMessageButtons::YesNoCancel);
        EXPECT_EQ(m_view.m_messages[0].m_icon, EMessageIcon::Question);
        EXPECT_EQ(m_view.m_bDestroyed, c.message.empty());
        const bool saved = c.answer == EMessageResult::Yes && !c.files.empty();
        EXPECT_EQ(m_files.m_files.count("/d/saved.quenbydata"), saved ? 1u : 0u);
        if (saved) {
            EXPECT_EQ(FileItems("/d/saved.quenbydata").at(0).m_strText, u"unsaved");
        }
        if (!c.message.empty()) {
            ASSERT_EQ(Controller().List().GetItemCount(), 1u);
            EXPECT_EQ(Controller().List().GetMessageText(0), c.message);
            EXPECT_EQ(m_view.m_strCaption.rfind(c.message + u" - ", 0) == 0, c.message == u"other");
        }
    }
    // With the list in a data file there is nothing to ask.
    m_view = test::CFakeMainView{};
    Run(ID_LOAD, "/d/other.quenbydata");
    Run(ID_LOAD, "/d/other.quenbydata");
    EXPECT_TRUE(m_view.m_messages.empty());
}

// Another start asks for file B while a dialog or message box over file A is open: A stays
// current until the command that opened it is over (an edit lands in A), then B is opened.
TEST_F(MainWindowTest, AFileOpenedFromOutsideWaitsUntilEveryDialogIsClosed) {
    const std::filesystem::path a = "/d/a.quenbydata";
    const std::filesystem::path b = "/d/b.quenbydata";
    const std::vector<std::u16string> unchanged{u"one", u"two"};
    const struct {
        int command;                      // 0: the About item
        std::vector<std::u16string> inA;  // A afterwards
    } cases[] = {
        {IDC_EDIT_SELECTED, {u"one", u"new"}},
        {IDC_ADD_NEW, {u"one", u"two", u"new"}},
        {ID_ENCRYPTION_INFO, unchanged},  // a message box
        {ID_SETTINGS, unchanged},
        {ID_LOAD, unchanged},  // the file dialog, cancelled
        {ID_SAVE, unchanged},  // the notice about plain files
        {0, unchanged},
    };
    for (const auto& c : cases) {
        m_files.m_files.clear();
        PutDataFile(a, {Item(u"one"), Item(u"two")});
        PutDataFile(b, {Item(u"other")});
        Restart(a.string());
        m_view.m_selected = 1;
        m_view.m_editorScript = test::EditorEnters(Fields(u"new"));
        std::filesystem::path currentWhileOpen;
        m_view.m_whileOpen = [&] {
            Controller().OnOpenDataFile(b);
            currentWhileOpen = Controller().DataFilePath();
        };
        c.command != 0 ? (void)Controller().OnCommand(c.command) : Controller().OnAboutBox();
        EXPECT_EQ(currentWhileOpen, a) << c.command;
        EXPECT_EQ(Controller().DataFilePath(), a) << c.command;
        std::vector<std::u16string> inA;
        for (const MessageItem& item : FileItems(a)) {
            inA.push_back(item.m_strText);
        }
        EXPECT_EQ(inA, c.inA) << c.command;
        EXPECT_EQ(FileItems(b), std::vector<MessageItem>{Item(u"other")}) << c.command;
        RunUntilIdle();
        EXPECT_EQ(Controller().DataFilePath(), b) << c.command;
        EXPECT_EQ(m_view.m_strCaption, u"b - Quenby by Holvane") << c.command;
    }
}

// Requests that come while the question about unsaved changes is open wait for it, and are then
// taken one by one, each as Load... would: an unreadable one is reported, none is dropped.
TEST_F(MainWindowTest, RequestsThatWaitAreTakenInTurn) {
    PutDataFile("/d/b.quenbydata", {Item(u"b")});
    PutDataFile("/d/d.quenbydata", {Item(u"d")});
    Start();
    AddMessages({Fields(u"unsaved")});
    m_view.m_answers = {EMessageResult::No};
    m_view.m_whileOpen = [this] {
        Controller().OnOpenDataFile("/d/missing.quenbydata");
        Controller().OnOpenDataFile("/d/d.quenbydata");
    };
    Controller().OnOpenDataFile("/d/b.quenbydata");
    EXPECT_EQ(Controller().DataFilePath(), "/d/b.quenbydata");
    ASSERT_EQ(m_view.m_messages.size(), 1u);  // one question, about the list it was asked for
    RunUntilIdle();
    EXPECT_EQ(Controller().DataFilePath(), "/d/d.quenbydata");
    EXPECT_EQ(Controller().List().GetMessageText(0), u"d");
    ASSERT_EQ(m_view.m_messages.size(), 2u);
    EXPECT_EQ(m_view.m_messages[1].m_strText.rfind(text::kLoadFailed, 0), 0u);
}

TEST_F(MainWindowTest, SavingNeverReplacesAFileWithoutAskingAboutThatFile) {
    const std::u16string question = u"list.quenbydata" + std::u16string(text::kAlreadyExists);
    const struct {
        std::deque<std::filesystem::path> typed;  // names the save dialog returns, in turn
        std::deque<EMessageResult> answers;       // to the question about list.quenbydata
        std::filesystem::path written;            // empty: nothing
    } cases[] = {
        {{"/d/list"}, {EMessageResult::Yes}, "/d/list.quenbydata"},
        {{"/d/list", "/d/new"}, {EMessageResult::No}, "/d/new.quenbydata"},
        {{"/d/list"}, {EMessageResult::No}, ""},
        // A name with an extension is the one the dialog itself asked about.
        {{"/d/list.quenbydata"}, {}, "/d/list.quenbydata"},
        {{"/d/fresh"}, {}, "/d/fresh.quenbydata"},
    };
    for (const auto& c : cases) {
        Restart();
        PutDataFile("/d/list.quenbydata", {Item(u"precious")});
        const Bytes precious = m_files.m_files["/d/list.quenbydata"];
        AddMessages({Fields(u"current")});
        m_view.m_answers = c.answers;
        EXPECT_EQ(SaveAs(c.typed), !c.written.empty()) << (&c - cases);
        EXPECT_EQ(m_view.MessageTexts(), Texts(c.answers.size(), question)) << (&c - cases);
        for (const test::ShownMessage& shown : m_view.m_messages) {
            EXPECT_EQ(shown.m_buttons, EMessageButtons::YesNo);
        }
        EXPECT_EQ(Controller().DataFilePath(), c.written) << (&c - cases);
        if (c.written != "/d/list.quenbydata") {
            EXPECT_EQ(m_files.m_files["/d/list.quenbydata"], precious) << (&c - cases);
        }
        if (!c.written.empty()) {
            EXPECT_EQ(FileItems(c.written).at(0).m_strText, u"current") << (&c - cases);
        }
    }
}

TEST_F(MainWindowTest, AFailedWriteKeepsTheWindowOpenUntilTheListIsSafe) {
    Start();
    SaveAs({"/d/list.quenbydata"});
    m_files.m_bFailWrites = true;  // the disk is full
    AddMessages({Fields(u"one")});
    ASSERT_EQ(m_view.m_messages.size(), 1u);
    EXPECT_NE(m_view.m_messages[0].m_strText.find(u"No space left"), std::u16string::npos);
    m_files.m_bFailWrites = false;
    // A lone CR arrives through the simple import: the plain file cannot hold it.
    m_files.m_files["/d/cr.txt"] = {'a', '\r', 'b'};
    Run(ID_APPEND_SIMPLE_TEXT, "/d/cr.txt");
    EXPECT_NE(m_view.m_messages.back().m_strText.find(u"Message 2 contains a line break"),
              std::u16string::npos);
    EXPECT_EQ(FileItems("/d/list.quenbydata").size(), 0u);  // the old content, whole

    // Closing now asks, and saving again in the plain form fails again: the window stays.
    m_view.m_answers = {EMessageResult::Yes};
    Run(ID_EXIT, "/d/again.quenbydata");
    EXPECT_FALSE(m_view.m_bDestroyed);
    // Saved in the partly encrypted form, the list is safe and the window closes.
    m_view.m_answers = {EMessageResult::Yes};
    Run(ID_EXIT, "/d/safe.quenbyencrypteddata");
    EXPECT_TRUE(m_view.m_bDestroyed);
    ASSERT_EQ(FileItems("/d/safe.quenbyencrypteddata").size(), 2u);
    EXPECT_EQ(FileItems("/d/safe.quenbyencrypteddata")[1].m_strText, u"a\rb");
    EXPECT_EQ(m_profile.GetString("Settings", "LastFilePath"), "/d/safe.quenbyencrypteddata");
}

TEST_F(MainWindowTest, ClosingStoresTheWindowsStateForTheNextStart) {
    Start();
    m_view.m_bRandomOrder = true;
    m_view.m_columnWidths[1] = 333;
    Controller().OnClose();
    EXPECT_EQ(m_profile.GetInt("Settings", "Column1", 0), 333);
    EXPECT_EQ(m_profile.GetInt("Settings", "m_iCount", -1), -1);  // stored only as it changes
    Restart();
    EXPECT_TRUE(m_view.m_bRandomOrder);
    EXPECT_EQ(m_view.m_columnWidths[1], 333);
    EXPECT_EQ(m_view.m_appliedPlacements, std::vector<Bytes>{m_view.m_placement});

    // A minimised or hidden window keeps the placement stored before.
    Controller().OnCommand(IDC_HIDE_TO_TRAY);
    EXPECT_TRUE(m_view.m_bHidden);
    m_view.m_bMinimized = true;
    m_view.m_placement = {5};
    Controller().OnCommand(ID_EXIT);
    EXPECT_TRUE(m_view.m_bDestroyed);
    EXPECT_EQ(m_profile.GetBinary("Settings", "Location"), (Bytes{1, 2, 3, 4}));
    // Placement is neither restored nor stored while it is not to be remembered.
    m_profile.WriteInt("Settings", "RememberLastPositionAndSize", 0);
    Restart();
    EXPECT_TRUE(m_view.m_appliedPlacements.empty());
    m_view.m_placement = {6};
    Controller().OnClose();
    EXPECT_EQ(m_profile.GetBinary("Settings", "Location"), (Bytes{1, 2, 3, 4}));
}

TEST_F(MainWindowTest, AddEditDeleteWriteThroughToTheCurrentFileThatShowCanFind) {
    Start();
    m_view.m_editorScript = [](CMessageEditorPresenter&) { return false; };
    Controller().OnAddNew();  // cancelled: no row, and nothing to ask about
    EXPECT_EQ(Controller().List().GetItemCount(), 0u);
    EXPECT_FALSE(Controller().IsModified());
    EXPECT_EQ(m_view.m_editorCaptions[0], u"Add Message - Quenby by Holvane");
    Controller().OnCommand(ID_SHOW_CURRENT_DATA_FILE);  // none yet
    SaveAs({"/d/list"});
    EXPECT_EQ(Controller().DataFilePath(), "/d/list.quenbydata");
    AddMessages({Fields(u"one", 0, 1500), Fields(u"two"), Fields(u"three")});
    EXPECT_EQ(FileItems("/d/list.quenbydata").size(), 3u);
    EXPECT_EQ(FileItems("/d/list.quenbydata")[0], Item(u"one", 1, 500, true, true, 20, 60));
    Controller().OnEditSelected();  // nothing selected
    Controller().OnDeleteSelected();
    EXPECT_EQ(m_view.MessageTexts(),
              (Texts{text::kNoDataFile, text::kSelectToEdit, text::kSelectToDelete}));
    EXPECT_EQ(FileItems("/d/list.quenbydata").size(), 3u);

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
    EXPECT_EQ(m_files.m_files["/d/list.quenbydata"], (Bytes{0, 0, 0, 0}));
    Controller().OnCommand(ID_SHOW_CURRENT_DATA_FILE);
    EXPECT_EQ(m_shell.m_shown, (std::vector<std::filesystem::path>{"/d/list.quenbydata"}));
    m_shell.m_bFileExists = false;
    Controller().OnCommand(ID_SHOW_CURRENT_DATA_FILE);
    EXPECT_EQ(m_view.MessageTexts().size(), 4u);  // nothing asked of Delete All
    EXPECT_EQ(m_view.MessageTexts().back(), text::kShowFileFailed);
}

TEST_F(MainWindowTest, SaveAndLoadShowTheirNoticesOnceSilenced) {
    Start();
    m_view.m_bSuppressNotices = true;
    for (int round = 0; round < 2; ++round) {
        SaveAs({"/d/s.quenbyencrypteddata"});
        Run(ID_LOAD, "/d/s.quenbyencrypteddata");
    }
    EXPECT_EQ(m_view.m_notices,
              (std::vector<std::u16string>{std::u16string(text::kPlainFileWarning),
                                           std::u16string(text::kEncryptedFileWarning)}));
    EXPECT_EQ(m_profile.GetInt("DontShowAgain", "{e9108ba3-aa61-4398-dfbc-b02102c88e9b}", 0), 1);
    EXPECT_EQ(m_protector.m_iProtectCalls, 0);  // an empty list seals nothing
}

TEST_F(MainWindowTest, ImportsAppendWithTheStoredDefaultsAndFixedPauses) {
    Start();
    m_files.m_files["/d/empty.txt"] = {};
    m_files.m_files["/d/a.txt"] = {'a', 0x0D, 0x0A, 0x0D, 0x0A, 'b'};
    m_files.m_files["/d/w.txt"] = {0xFF, 0xFE, 'x', 0, 0x0A, 0};
    Run(ID_APPEND_SIMPLE_TEXT, "/d/empty.txt");
    Controller().OnDeleteAllRecords();
    EXPECT_FALSE(Controller().IsModified());  // no change yet to ask about
    Run(ID_APPEND_SIMPLE_TEXT, "/d/a.txt");
    ASSERT_EQ(Controller().List().GetItemCount(), 3u);
    EXPECT_EQ(Controller().List().GetMessageItem(1), Item(u"", 0, 0, false, false, 20, 60));

    AddMessages({Fields(u"sets defaults", 2, 250, true, false)});
    Run(ID_APPEND_UNICODE_TEXT, "/d/w.txt");
    ASSERT_EQ(Controller().List().GetItemCount(), 5u);
    EXPECT_EQ(Controller().List().GetMessageItem(4), Item(u"x", 2, 250, true, false, 20, 60));
    Run(ID_APPEND_SIMPLE_TEXT, "/d/missing.txt");
    EXPECT_EQ(Controller().List().GetItemCount(), 5u);
    EXPECT_EQ(m_view.m_messages.back().m_strText.rfind(text::kImportFailed, 0), 0u);
    // Imported lines are unsaved changes like any other.
    Restart();
    Run(ID_APPEND_SIMPLE_TEXT, "/d/a.txt");
    Controller().OnClose();
    EXPECT_FALSE(m_view.m_bDestroyed);  // asked, and the fake's default answer is Cancel
    EXPECT_EQ(m_view.MessageTexts(), Texts{text::kAskSaveChanges});
}

TEST_F(MainWindowTest, AssignStoresRegistersAndShowsTheShortcutAgainOrReportsARefusal) {
    Start();
    m_view.m_hotKey = HotKeyCapture{0x74, true, false, true, false, false};  // Ctrl+Shift+F5
    Controller().OnCommand(IDC_ASSIGN_HOTKEY);
    // Registered as the profile now holds it: what was stored is what is registered.
    EXPECT_EQ(m_shortcut.m_registered, (std::pair<std::uint16_t, std::uint16_t>{0x74, 6}));
    EXPECT_EQ(m_view.m_hotKey, (HotKeyCapture{0x74, true, false, true, false, false}));

    // Ctrl with the separate Home key stays Ctrl+Home: no Windows-key modifier appears.
    m_view.m_hotKey = HotKeyCapture{0x24, true, false, false, false, true};
    Controller().OnAssignHotKey();
    EXPECT_EQ(m_shortcut.m_registered, (std::pair<std::uint16_t, std::uint16_t>{0x24, 2}));

    Controller().OnCommand(IDC_CLEAR_HOTKEY);
    EXPECT_EQ(m_profile.GetInt("Settings", "StartStopAutomaticTyping Key", -1), 0);
    EXPECT_EQ(m_profile.GetInt("Settings", "StartStopAutomaticTyping Mod", -1), 0);
    EXPECT_FALSE(m_shortcut.m_registered.has_value());
    EXPECT_TRUE(m_view.m_messages.empty());

    // Held by another program at the next start: reported; then a store that fails.
    StoreShortcut(0x78, 1);  // Alt+F9
    m_shortcut.m_taken[{0x78, 1}] = true;
    Restart();
    EXPECT_EQ(m_view.MessageTexts(), Texts{text::kHotKeySetupFailed});
    EXPECT_EQ(m_view.m_messages[0].m_icon, EMessageIcon::Error);
    EXPECT_EQ(m_view.m_hotKey, (HotKeyCapture{0x78, false, true, false, false, false}));

    m_profile.RefuseWritesOf("StartStopAutomaticTyping Key");
    m_view.m_hotKey = HotKeyCapture{0x70, true};
    Controller().OnAssignHotKey();
    // The store failed, and what the profile still holds is applied (and refused) again.
    EXPECT_EQ(m_view.MessageTexts(), (Texts{text::kHotKeySetupFailed, text::kHotKeyStoreFailed,
                                            text::kHotKeySetupFailed}));
    EXPECT_EQ(m_view.m_hotKey.m_wVirtualKey, 0x78);
}

TEST_F(MainWindowTest, AStoredCombinationIsRegisteredWhereAShortcutServiceIsAndNeverFails) {
    StoreShortcut(0x74, 6);  // Ctrl+Shift+F5
    // X11, Wayland with the GlobalShortcuts portal, and Wayland where `quenby --toggle` binds it.
    for (const DesktopSession& session : {DesktopSession{}, DesktopSession{true, "GNOME", true},
                                          DesktopSession{true, "GNOME", false}}) {
        m_session = session;
        const bool service = session.m_bGlobalShortcuts;
        m_shortcut.m_registered.reset();
        Restart();
        EXPECT_EQ(m_view.m_hotKey.m_wVirtualKey, 0x74);  // shown either way
        EXPECT_EQ(m_shortcut.m_registered.has_value(), service);
        EXPECT_EQ(m_view.m_strHotKeyHint.empty(), service);
        EXPECT_EQ(m_view.m_messages.size(), service ? 0u : 1u);  // the notice on how to bind it
    }
    m_view.m_hotKey = HotKeyCapture{0x78, false, true};  // Alt+F9
    Controller().OnAssignHotKey();
    EXPECT_EQ(m_profile.GetInt("Settings", "StartStopAutomaticTyping Key", 0), 0x78);
    EXPECT_FALSE(m_shortcut.m_registered.has_value());
    EXPECT_EQ(m_view.m_messages.size(), 1u);
}

TEST_F(MainWindowTest, TheFirstWaylandStartSaysOnceHowToBindTheKeyOnThisDesktop) {
    // The first name of the desktop list that is one of ours decides, whole names only.
    const struct {
        const char* desktop;
        std::u16string_view notice;
    } cases[] = {
        {"sway", text::kBindToggleWlroots},     {"ubuntu:GNOME", text::kBindToggleGnome},
        {"GNOMEISH:kde", text::kBindToggleKde}, {"Hyprland", text::kBindToggleWlroots},
        {"XFCE", text::kBindToggleOther},       {"", text::kBindToggleOther},
    };
    for (const auto& c : cases) {
        m_profile = test::CMemoryProfileStore{};
        m_session = DesktopSession{true, c.desktop, false};  // `quenby --toggle` binds the key
        Restart();
        ASSERT_EQ(m_view.m_messages.size(), 1u) << c.desktop;
        EXPECT_EQ(m_view.m_messages[0].m_strText, c.notice) << c.desktop;
        EXPECT_EQ(m_view.m_messages[0].m_icon, EMessageIcon::Information);
        EXPECT_EQ(m_view.m_strHotKeyHint, text::kBindToggleHintWayland);
        Restart();
        EXPECT_TRUE(m_view.m_messages.empty()) << c.desktop;
        EXPECT_EQ(m_view.m_strHotKeyHint, text::kBindToggleHintWayland);  // the line stays
    }
}

// On GNOME without the portal the combination becomes a custom shortcut in GNOME's settings: only
// after the user said yes, which is asked until given and then kept; Clear removes it.
TEST_F(MainWindowTest, ADesktopShortcutIsAddedOnlyOnceTheUserAgreed) {
    m_session = DesktopSession{true, "GNOME", true, true};
    Restart();
    EXPECT_TRUE(m_view.m_messages.empty());  // nothing asked before a combination is assigned
    using Pair = std::pair<std::uint16_t, std::uint16_t>;
    const struct {
        HotKeyCapture m_capture;
        std::optional<EMessageResult> m_answer;  // the user's, when asked
        std::optional<Pair> m_registered;
    } steps[] = {
        {HotKeyCapture{0x78, true, false, true}, EMessageResult::No, std::nullopt},
        {HotKeyCapture{0x78, true, false, true}, EMessageResult::Yes, Pair{0x78, 6}},
        {HotKeyCapture{0x74, false, true}, std::nullopt, Pair{0x74, 1}},
        {HotKeyCapture{}, std::nullopt, std::nullopt},  // Clear
        {HotKeyCapture{0x75, true}, std::nullopt, Pair{0x75, 2}},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.m_capture.m_wVirtualKey);
        m_view.m_messages.clear();
        if (step.m_answer) {
            m_view.m_answers.push_back(*step.m_answer);
        }
        m_view.m_hotKey = step.m_capture;
        Controller().OnAssignHotKey();
        EXPECT_EQ(m_view.MessageTexts(),
                  step.m_answer ? Texts{text::kAddDesktopShortcut} : Texts{});
        EXPECT_EQ(m_shortcut.m_registered, step.m_registered);
    }
    // At the next start the kept yes applies the stored combination without a question.
    m_shortcut.m_registered.reset();
    Restart();
    EXPECT_TRUE(m_view.m_messages.empty());
    EXPECT_EQ(m_shortcut.m_registered, (Pair{0x75, 2}));
}

TEST_F(MainWindowTest, EveryMenuCommandIsHandled) {
    Start();
    Controller().OnCommand(IDC_HIDE_TO_TRAY);
    EXPECT_TRUE(m_view.m_bHidden);
    for (const MenuItem& item : kMainMenu) {
        if (item.m_iCommand != ID_SEPARATOR && item.m_iCommand != ID_EXIT) {
            EXPECT_TRUE(Controller().OnCommand(item.m_iCommand)) << item.m_iCommand;
        }
    }
    for (const MenuItem& item : kTrayMenu) {  // Configure, then Exit
        if (item.m_iCommand != ID_SEPARATOR) {
            EXPECT_TRUE(Controller().OnCommand(item.m_iCommand)) << item.m_iCommand;
        }
    }
    EXPECT_FALSE(m_view.m_bHidden);
    EXPECT_TRUE(m_view.m_bDestroyed);  // nothing was unsaved
    EXPECT_FALSE(Controller().OnCommand(12345));
    // Each link opens its own page, the site's and F1 the home page.
    Controller().OnHelpInfo();
    ASSERT_EQ(m_shell.m_opened.size(), 5u);
    EXPECT_EQ(std::set<std::string>(m_shell.m_opened.begin(), m_shell.m_opened.end()).size(), 4u);
    EXPECT_EQ(m_shell.m_opened.back(), text::kHomePage);
    EXPECT_EQ(m_view.m_iSettingsRuns, 1);
    const Texts shown = m_view.MessageTexts();
    EXPECT_TRUE(std::any_of(shown.begin(), shown.end(), [](std::u16string_view message) {
        return message.substr(0, text::kEncryptionInfo.size()) == text::kEncryptionInfo &&
               message.find(u"a test key") != std::u16string::npos;
    }));
}

}  // namespace
}  // namespace quenby
