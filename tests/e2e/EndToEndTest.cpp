// The built program end to end: typing runs, files, closing, the tray and the command line.
#include <signal.h>

#include "e2e/EndToEndFixture.h"

namespace quenby {
namespace {

// The alphabet takes a second, and the next message waits 1.5 s: another press made once the
// alphabet has begun comes while it is typed, or before the next message.
TEST_F(EndToEndTest, TheShortcutTypesTheListTheChosenNumberOfTimesOrUntilPressedAgain) {
    const std::string alphabet = "abcdefghijklmnopqrstuvwxyz";
    // A path with blanks, as the shell hands it over: one argument.
    CRunIcon run(StartOnList(kShortcut + "m_iCount=2\nm_iKeyInputMethod=0\n",
                             m_home / "My Lists" / "list one.quenbydata",
                             {MessageItem{u"abcdefghijklmnopqrstuvwxyz", 0, 0, false, true, 40, 40},
                              Message(u"one \u00fc", 1500)}));
    Keys({"ctrl+shift+F5"});
    ASSERT_TRUE(run.WaitForRunEnd()) << "the run did not end";
    EXPECT_EQ(CollectReceived().m_strText,
              alphabet + "\rone \u00fc\r" + alphabet + "\rone \u00fc\r");

    Keys({"ctrl+shift+F5"});
    ASSERT_TRUE(m_recorder->WaitForLine("KEY 0 61", 20000)) << "the run did not start";
    Keys({"ctrl+shift+F5"});
    ASSERT_TRUE(run.WaitForRunEnd()) << "the run did not stop";
    // The message being typed was finished, and nothing came after it.
    EXPECT_EQ(CollectReceived().m_strText, alphabet + "\r");
}

TEST_F(EndToEndTest, SetTextModeReplacesTheTextOfTheFieldUnderThePointer) {
    StartSessionBus();
    test::CChildProcess& fields = LaunchTextFields();
    ASSERT_NE(SetterReaching(m_fields["line"]), nullptr);
    WriteProfile(kShortcut + "m_iCount=1\nTextSettingUp=1\n");
    WriteList(m_home / "set.quenbydata", {Message(u"set by quenby", 100)});
    StartQuenby({(m_home / "set.quenbydata").string()}, "set - " + kTitle);
    // Quenby's own window must not be the one under the pointer.
    ASSERT_EQ(test::RunCommand({"xdotool", "search", "--name", "^set - " + kTitle + "$",
                                "windowmove", "--sync", "300", "500"}),
              0);
    const ScreenPoint line = m_fields["line"];
    ASSERT_EQ(test::RunCommand(
                  {"xdotool", "mousemove", std::to_string(line.m_x), std::to_string(line.m_y)}),
              0);
    Keys({"ctrl+shift+F5"});
    // Set whole: typed, it would have changed letter by letter.
    EXPECT_TRUE(fields.WaitForLine("CHANGED line " + test::Hex("set by quenby"), 20000));
    EXPECT_EQ(fields.Lines().size(), 1u);
}

TEST_F(EndToEndTest, AnEncryptedFileSavedThroughTheProgramComesBackWhole) {
    WriteProfile(kTypeOnce);
    StartQuenby({}, kUntitled);
    ASSERT_TRUE(PressUntil(kUntitled, {"Return"}, "Add Message - " + kTitle));
    ASSERT_TRUE(TypeAndEnter("Add Message - " + kTitle, "secret message"));
    // The context menu's Save... shows the notice about plain files first.
    ASSERT_TRUE(PressUntil(kUntitled, {"Menu", "Down", "Down", "Return"}, kTitle));
    ASSERT_TRUE(PressUntil(kTitle, {"Return"}, "Save As"));
    const std::filesystem::path file = m_home / "safe.quenbyencrypteddata";
    ASSERT_TRUE(TypeAndEnter("Save As", file.string()));
    ASSERT_TRUE(WaitForWindow("safe - " + kTitle));

    // The text is sealed in the file and opens with this user's key.
    const std::vector<std::uint8_t> bytes = ReadBytes(file);
    const std::string plainText("s\0e\0c\0r\0e\0t\0", 12);  // "secret" in UTF-16LE
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()).find(plainText), std::string::npos);
    auto protector = CUserDataProtector::ForCurrentUser();
    Expected<CMessageList> back = DecodeDataFile(bytes, EDataFileForm::Protected, protector.get());
    ASSERT_TRUE(back.ok()) << Utf8FromUtf16(back.reason());
    EXPECT_EQ(back.value().GetMessageText(0), u"secret message");

    // Loaded by a new start, it types whole (with the Enter before and after the editor proposed).
    m_quenby.reset();
    StartQuenby({file.string()}, kTitle);  // first the notice about encrypted files
    ASSERT_TRUE(PressUntil(kTitle, {"Return"}));
    StartRecorder();
    CRunIcon run("safe - " + kTitle);
    Keys({"ctrl+shift+F5"});
    ASSERT_TRUE(run.WaitForRunEnd()) << "the run did not end";
    EXPECT_EQ(CollectReceived().m_strText, "\rsecret message\r");
}

TEST_F(EndToEndTest, AnXServerThatGoesAwayDuringARunEndsTheProgramWithoutACrash) {
    const std::filesystem::path list = m_home / "long.quenbydata";
    StartOnList(kShortcut + "m_iCount=0\nm_iKeyInputMethod=0\n", list,
                {MessageItem{std::u16string(100, u'z'), 0, 100, false, true, 20, 20}});
    Keys({"ctrl+shift+F5"});
    ASSERT_TRUE(m_recorder->WaitForLine("KEY 0 7a", 20000)) << "the run did not start";
    m_recorder.reset();
    m_server.reset();  // in the middle of typing
    ASSERT_TRUE(Exited(15s)) << "Quenby kept running without its display";
    EXPECT_NE(m_quenby->Wait(), -1) << "Quenby ended by a signal";
    // The list on disk is whole.
    Expected<CMessageList> kept = DecodeDataFile(ReadBytes(list), EDataFileForm::Plain, nullptr);
    ASSERT_TRUE(kept.ok());
    EXPECT_EQ(kept.value().GetItemCount(), 1u);
}

TEST_F(EndToEndTest, ClosingWithUnsavedChangesAsksFirstAndALaterNotificationAreaGetsTheIcon) {
    StartQuenby({}, kUntitled);
    test::CChildProcess tray({QUENBY_TEST_TRAY});
    ASSERT_TRUE(tray.WaitForLine("ready", 10000));
    std::string line;
    ASSERT_TRUE(tray.ReadLine(line, 20000)) << "the icon never asked to be docked";
    EXPECT_EQ(line.rfind("dock 0x", 0), 0u) << line;
    ASSERT_TRUE(PressUntil(kUntitled, {"Return"}, "Add Message - " + kTitle));
    ASSERT_TRUE(TypeAndEnter("Add Message - " + kTitle, "not saved"));

    // "Do you wish to Save Changes ?": Cancel keeps the window.
    ASSERT_TRUE(RequestClose(kUntitled, kTitle));
    ASSERT_TRUE(PressUntil(kTitle, {"Escape"}));
    // Exit from the menu takes the same path; No ends the program without writing anything.
    ASSERT_TRUE(PressUntil(kUntitled, {"Menu", "Up", "Return"}, kTitle));
    ASSERT_TRUE(PressUntil(kTitle, {"alt+n"}));
    EXPECT_TRUE(Exited(15s));
    EXPECT_FALSE(std::filesystem::exists(m_home / ".local/share/Holvane"));
}

// ---- The command line ----

TEST_F(EndToEndTest, EveryOptionAnswersWithoutADisplay) {
    const std::string usage = "Usage: quenby [FILE]";
    const struct {
        std::vector<std::string> arguments;
        int status;
        std::string inOut;  // "": nothing on standard output
        std::string inErr;  // "": nothing on standard error
    } cases[] = {
        {{"--help"}, 0, usage, ""},
        {{"-h"}, 0, usage, ""},
        {{"--version"}, 0, "quenby " QUENBY_VERSION "\n", ""},
        {{"-V"}, 0, "quenby " QUENBY_VERSION "\n", ""},
        {{"--bogus"}, 2, "", "unknown option '--bogus'"},
        {{"-x", "a.quenbydata"}, 2, "", "unknown option '-x'"},
        {{"a.quenbydata", "b.quenbydata"}, 2, "", "more than one file"},
        {{"--toggle", "a.quenbydata"}, 2, "", "--toggle takes no file"},
        {{"--stop", "a.quenbydata"}, 2, "", "--stop takes no file"},
    };
    for (const auto& c : cases) {
        const Outcome outcome = RunQuenby(c.arguments, false);
        const std::string what = c.arguments.front() + " ...: " + outcome.m_strErr;
        EXPECT_EQ(outcome.m_iStatus, c.status) << what;
        EXPECT_TRUE(c.inOut.empty() ? outcome.m_strOut.empty()
                                    : outcome.m_strOut.find(c.inOut) != std::string::npos)
            << what;
        // A refused command line tells why, and how to use it.
        EXPECT_TRUE(c.inErr.empty() ? outcome.m_strErr.empty()
                                    : outcome.m_strErr.find(c.inErr) != std::string::npos &&
                                          outcome.m_strErr.find(usage) != std::string::npos)
            << what;
    }
    // The manual page tells of every option the help tells of.
    const std::vector<std::uint8_t> page = ReadBytes(QUENBY_MAN_PAGE);
    const std::string manual(page.begin(), page.end());
    for (const char* option : {"toggle", "stop", "help", "version", "\\-h", "\\-V"}) {
        EXPECT_NE(manual.find(option), std::string::npos) << option;
    }
    // ... and of every file of the user's that the program keeps.
    for (const char* file : {"$XDG_CONFIG_HOME/Holvane/Quenby by Holvane.conf",
                             "$XDG_DATA_HOME/Holvane/Quenby by Holvane/data-file.key"}) {
        EXPECT_NE(manual.find(file), std::string::npos) << file;
    }
}

// Another start finds the running Quenby on the session bus, hands it over and ends.
TEST_F(EndToEndTest, ASecondStartHandsItsFileOrToggleToTheRunningQuenby) {
    StartSessionBus();
    const Outcome alone = RunQuenby({"--toggle"});
    EXPECT_EQ(alone.m_iStatus, 1);
    EXPECT_NE(alone.m_strErr.find("Quenby is not running"), std::string::npos) << alone.m_strErr;

    // No shortcut assigned: the command is the only way to start the run.
    CRunIcon run(StartOnList("m_iCount=1\nm_iKeyInputMethod=0\n", m_home / "toggled.quenbydata",
                             {Message(u"typed on command", 20)}));
    const Outcome toggle = RunQuenby({"--toggle"});
    EXPECT_EQ(toggle.m_iStatus, 0) << toggle.m_strErr;
    ASSERT_TRUE(run.WaitForRunEnd()) << "the run did not end";
    EXPECT_EQ(CollectReceived().m_strText, "typed on command\r");

    // Started in another folder with a relative name: the running one opens that file.
    const std::filesystem::path folder = m_home / "My Lists";
    WriteList(folder / "handed over.quenbydata", {Message(u"one", 50)});
    const Outcome second = RunQuenby({"handed over.quenbydata"}, true, folder);
    EXPECT_EQ(second.m_iStatus, 0) << second.m_strErr;
    EXPECT_TRUE(WaitForWindow("handed over - " + kTitle));
    // Without a file the running one is only brought to the front.
    const Outcome third = RunQuenby({});
    EXPECT_EQ(third.m_iStatus, 0) << third.m_strErr;
    std::string windows;
    test::RunCommand({"xdotool", "search", "--onlyvisible", "--name", " - " + kTitle + "$"},
                     &windows);
    EXPECT_EQ(std::count(windows.begin(), windows.end(), '\n'), 1) << windows;

    // A Quenby that does not answer is given up on in bounded time, and the caller says so.
    m_quenby->Signal(SIGSTOP);
    const Outcome stuck = RunQuenby({"--toggle"});
    m_quenby->Signal(SIGCONT);
    EXPECT_EQ(stuck.m_iStatus, 1);
    EXPECT_NE(stuck.m_strErr.find("did not answer"), std::string::npos) << stuck.m_strErr;
}

}  // namespace
}  // namespace quenby
