#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QTest>

#include "ShellFixture.h"
#include "app/Texts.h"
#include "qt/DlgInputMethod.h"
#include "qt/HotKeyEdit.h"

namespace quenby {
namespace {

class ShellTest : public test::ShellFixture {};

TEST_F(ShellTest, TheEditorChecksItsFieldsAndTakesWhatTheyShow) {
    m_settings.SetNewMessageDefaults({0, 5, true, false});
    CMessageEditorPresenter presenter(m_settings);
    CDlgAutoTextMessage dialog(presenter, nullptr);
    EXPECT_EQ(dialog.windowTitle(), "Add Message - Quenby by Holvane");
    EXPECT_EQ(dialog.m_pMilliSeconds->text(), "5");
    EXPECT_EQ(dialog.m_pCharDelayMin->text(), "20");
    EXPECT_EQ(dialog.m_pCharDelayMax->text(), "60");
    EXPECT_TRUE(dialog.m_pEnterBefore->isChecked());
    EXPECT_FALSE(dialog.m_pEnterAfter->isChecked());
    // Digits only from the keyboard in the number fields; a pasted negative number is refused
    // with the field's own message when OK takes it, and the focus goes there.
    QTest::keyClicks(dialog.m_pSeconds, "1x-2");
    EXPECT_EQ(dialog.m_pSeconds->text(), "012");
    dialog.m_pSeconds->selectAll();
    QGuiApplication::clipboard()->setText("-12");
    dialog.m_pSeconds->paste();
    AnswerNextMessageBox();
    dialog.m_pOk->click();
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0], ToQString(text::kEnterInteger));
    EXPECT_EQ(dialog.result(), 0);
    EXPECT_EQ(dialog.focusWidget(), dialog.m_pSeconds);
    dialog.m_pSeconds->setText("12");

    // Pasted line breaks become spaces.
    QTest::keyClicks(dialog.m_pText, "say ");
    QGuiApplication::clipboard()->setText("hello\r\nworld\n");
    dialog.m_pText->paste();
    QTest::keyClicks(dialog.m_pText, "!");
    EXPECT_EQ(dialog.m_pText->text(), "say hello world !");
    dialog.m_pCharDelayMin->setText("7");
    dialog.m_pCharDelayMax->setText("9");
    dialog.m_pOk->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(presenter.m_item, (MessageItem{u"say hello world !", 12, 5, true, false, 7, 9}));
}

// A message is kept whole however long it is: edited or pasted.
TEST_F(ShellTest, TheEditorKeepsMessagesOfAnyLength) {
    const std::filesystem::path file = "/d/long.quenbydata";
    for (const std::size_t length : {std::size_t{40003}, std::size_t{70001}}) {
        const std::u16string text = std::u16string(length - 3, u'x') + u"end";
        PutDataFile(file, {test::Item(text), test::Item(u"second")});
        Start(file.string());
        // Opened and confirmed with one more character: it was cut when the editor opened.
        InEditor([](CDlgAutoTextMessage& editor) {
            editor.m_pText->end(false);
            QTest::keyClicks(editor.m_pText, "!");
            editor.m_pOk->click();
        });
        Window().m_pList->selectRow(0);
        Window().m_pEditSelected->click();
        // Sizes first: a failure prints numbers, not tens of thousands of characters.
        EXPECT_EQ(FileItems(file).at(0).m_strText.size(), length + 1);
        EXPECT_TRUE(FileItems(file).at(0).m_strText == text + u"!") << length;
        // Pasted into a new message.
        QGuiApplication::clipboard()->setText(ToQString(text));
        InEditor([](CDlgAutoTextMessage& editor) {
            editor.m_pText->paste();
            editor.m_pOk->click();
        });
        Window().m_pAddNew->click();
        EXPECT_EQ(FileItems(file).at(2).m_strText.size(), length);
        EXPECT_TRUE(FileItems(file).at(2).m_strText == text) << length;
        EXPECT_EQ(FileItems(file).at(1).m_strText, u"second");
        Stop();
    }
}

TEST_F(ShellTest, TheEditorGrowsOnlyItsTextFieldAndTheMainWindowCannotShrink) {
    CMessageEditorPresenter presenter(m_settings);
    CDlgAutoTextMessage dialog(presenter, nullptr);
    dialog.show();
    const QRect text = dialog.m_pText->geometry();
    const QRect ok = dialog.m_pOk->geometry();
    const QRect before = dialog.m_pEnterBefore->geometry();
    const QRect seconds = dialog.m_pSeconds->geometry();
    dialog.resize(dialog.width() + 100, dialog.height() + 40);
    EXPECT_EQ(dialog.m_pText->width(), text.width() + 100);
    EXPECT_EQ(dialog.m_pText->height(), text.height());
    EXPECT_EQ(dialog.m_pOk->geometry().topLeft(), ok.topLeft() + QPoint(100, 40));
    EXPECT_EQ(dialog.m_pEnterBefore->geometry().topLeft(), before.topLeft() + QPoint(0, 40));
    EXPECT_EQ(dialog.m_pSeconds->geometry(), seconds);
    dialog.resize(10, 10);
    EXPECT_EQ(dialog.size(), dialog.minimumSize());
    EXPECT_GT(dialog.minimumWidth(), 0);

    Start();  // the main window, which Esc does not close either
    const QSize initial = Window().size();
    QTest::keyClick(&Window(), Qt::Key_Escape);
    EXPECT_TRUE(Window().isVisible());
    Window().resize(100, 100);
    EXPECT_EQ(Window().size(), initial);
}

TEST_F(ShellTest, SettingsAreStoredOnlyOnOk) {
    CSettingsPresenter presenter(m_settings, m_textSetters, m_pointer);
    {
        CDlgInputMethod cancelled(presenter, nullptr);
        cancelled.m_pUnicode->click();
        cancelled.reject();
    }
    EXPECT_TRUE(m_profile.WriteLog().empty());
    CDlgInputMethod dialog(presenter, nullptr);
    EXPECT_EQ(dialog.windowTitle(), "Settings - Quenby by Holvane");
    EXPECT_TRUE(dialog.m_pLayout->isChecked());
    EXPECT_EQ(dialog.m_pSetTextInfo->text(), "Set Text Info");
    dialog.m_pUnicode->click();
    dialog.m_pRememberPosition->click();
    dialog.m_pSetText->click();
    dialog.m_probe.setInterval(0);  // the next tick now
    EXPECT_TRUE(QTest::qWaitFor([&] { return dialog.m_pSetTextInfo->text() != "Set Text Info"; }));
    EXPECT_EQ(dialog.m_pSetTextInfo->text(), "No, Cannot Set Text at Cursor Location 10, 20");
    dialog.m_pSetText->click();  // unticked: the line empties and the probe stops
    EXPECT_EQ(dialog.m_pSetTextInfo->text(), "");
    EXPECT_FALSE(dialog.m_probe.isActive());
    dialog.m_pSetText->click();
    EXPECT_EQ(dialog.m_pStopOnFocusChange->text(), ToQString(text::kStopOnFocusChange));
    EXPECT_TRUE(dialog.m_pStopOnFocusChange->isChecked());
    dialog.m_pStopOnFocusChange->click();
    dialog.accept();
    EXPECT_EQ(m_profile.GetInt("Settings", "m_bStopOnFocusChange", -9), 0);
    EXPECT_EQ(m_profile.GetInt("Settings", "m_iKeyInputMethod", -9), 0);
    EXPECT_EQ(m_profile.GetInt("Settings", "RememberLastPositionAndSize", -9), 0);
    EXPECT_EQ(m_profile.GetInt("Settings", "TextSettingUp", -9), 1);
}

TEST_F(ShellTest, TheShortcutFieldCapturesCombinationsByTheirKeys) {
    m_shortcutKeys.m_codes = {{10, '1'}, {38, 'A'}};  // AZERTY's 1/& key, the Russian ef key
    Start();
    CHotKeyEdit& edit = *Window().m_pHotKey;
    QTest::keyClick(&edit, Qt::Key_F5, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(edit.HotKey(), (HotKeyCapture{0x74, true, false, true, false, false}));
    EXPECT_EQ(edit.text(), "Ctrl + Shift + F5");
    QTest::keyClick(&edit, Qt::Key_5, Qt::MetaModifier | Qt::KeypadModifier);
    EXPECT_EQ(edit.HotKey(), (HotKeyCapture{0x65, false, false, false, true, false}));
    QTest::keyClick(&edit, Qt::Key_Shift, Qt::ShiftModifier);  // a modifier alone: no change
    EXPECT_EQ(edit.HotKey().m_wVirtualKey, 0x65);
    // Where the platform names the key pressed, the key counts, not the character it typed.
    QKeyEvent ampersand(QEvent::KeyPress, Qt::Key_Ampersand, Qt::ControlModifier, 10, 0, 0, "&");
    QApplication::sendEvent(&edit, &ampersand);
    EXPECT_EQ(edit.text(), "Ctrl + 1");
    QKeyEvent ef(QEvent::KeyPress, 0x0424, Qt::ControlModifier | Qt::ShiftModifier, 38, 0, 0,
                 QString(QChar(0x0424)));
    QApplication::sendEvent(&edit, &ef);
    EXPECT_EQ(edit.HotKey(), (HotKeyCapture{'A', true, false, true, false, false}));
    EXPECT_EQ(edit.text(), "Ctrl + Shift + A");
    QTest::keyClick(&edit, Qt::Key_Backspace);
    EXPECT_EQ(edit.HotKey(), HotKeyCapture{});
    EXPECT_EQ(edit.text(), "None");
}

TEST_F(ShellTest, TheMainWindowIsWiredToTheController) {
    Start();
    CQuenbyDlg& window = Window();
    EXPECT_EQ(window.windowTitle(), "Untitled - Quenby by Holvane");
    EXPECT_EQ(window.m_pCount->text(), "5");

    // Add New opens the editor; what is typed there becomes a row.
    InEditor([](CDlgAutoTextMessage& editor) {
        editor.m_pText->setText("typed in the editor");
        editor.m_pSeconds->setText("600");
        editor.m_pOk->click();
    });
    QTest::keyClick(&window, Qt::Key_Return);
    ASSERT_EQ(window.m_pList->model()->rowCount(), 1);
    EXPECT_EQ(window.m_pList->model()->index(0, 1).data().toString(), "typed in the editor");
    window.m_onDialog = nullptr;

    // The count is stored as it is typed; a pasted negative count gets the integer message.
    AnswerNextMessageBox();
    QGuiApplication::clipboard()->setText("-12");
    window.m_pCount->selectAll();
    window.m_pCount->paste();
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages.back(), ToQString(text::kEnterInteger));
    EXPECT_NE(m_profile.GetInt("Settings", "m_iCount", -1), -12);
    window.m_pCount->selectAll();
    QTest::keyClicks(window.m_pCount, "3");
    EXPECT_EQ(m_profile.GetInt("Settings", "m_iCount", -1), 3);

    // Assign stores what the shortcut field shows.
    QTest::keyClick(window.m_pHotKey, Qt::Key_F9, Qt::AltModifier);
    window.m_pAssign->click();
    EXPECT_EQ(m_profile.GetInt("Settings", "StartStopAutomaticTyping Key", 0), 0x78);
    EXPECT_EQ(m_profile.GetInt("Settings", "StartStopAutomaticTyping Mod", 0), 1);

    // Stop Now leads the tray menu while a run is active.
    EXPECT_FALSE(window.m_pStopNow->isVisible());
    EXPECT_EQ(window.m_pTrayMenu->actions().value(0), window.m_pStopNow);
    m_app->Controller().OnHotKey();
    EXPECT_TRUE(window.m_pStopNow->isVisible());
    window.m_pStopNow->trigger();
    EXPECT_FALSE(window.m_pStopNow->isVisible());
    EXPECT_FALSE(m_app->Controller().IsRunActive());

    // Delete Selected without a selection says so.
    AnswerNextMessageBox();
    window.m_pDeleteSelected->click();
    EXPECT_EQ(m_messages.back(), ToQString(text::kSelectToDelete));
    window.m_pList->selectRow(0);
    window.m_pDeleteSelected->click();
    EXPECT_EQ(window.m_pList->model()->rowCount(), 0);
}

// A file handed over by another start waits while the editor is open (Qt runs its timers there
// too), and the edit still lands in the file it was opened over.
TEST_F(ShellTest, AFileFromAnotherStartWaitsForTheOpenDialog) {
    const std::filesystem::path a = "/d/a.quenbydata";
    const std::filesystem::path b = "/d/b.quenbydata";
    PutDataFile(a, {test::Item(u"one")});
    PutDataFile(b, {test::Item(u"other")});
    Start(a.string());
    QString captionWhileOpen;
    InEditor([this, &captionWhileOpen, b](CDlgAutoTextMessage& editor) {
        m_app->Controller().OnOpenDataFile(b);
        captionWhileOpen = Window().windowTitle();
        editor.m_pText->setText("edited");
        editor.accept();
    });
    Window().m_pList->selectRow(0);
    Window().m_pEditSelected->click();
    EXPECT_EQ(captionWhileOpen, "a - Quenby by Holvane");
    EXPECT_EQ(Window().windowTitle(), "a - Quenby by Holvane");
    EXPECT_EQ(FileItems(a).at(0).m_strText, u"edited");
    EXPECT_TRUE(QTest::qWaitFor(
        [this] { return Window().windowTitle() == "b - Quenby by Holvane"; }, 20000));
    EXPECT_EQ(FileItems(b), std::vector<MessageItem>{test::Item(u"other")});
}

TEST_F(ShellTest, ANameTypedWithoutExtensionIsAskedAboutAsTheFileReallyWritten) {
    const QString folder = QDir::tempPath();
    const std::filesystem::path precious = folder.toStdString() + "/list.quenbydata";
    m_files.m_files[precious] = {0, 0, 0, 0};
    m_profile.WriteInt("DontShowAgain", std::string(text::kPlainFileWarningId), 1);
    Start();
    QStringList typed{folder + "/list", folder + "/other"};
    Window().m_onDialog = [&typed](QDialog& dialog) {
        auto& files = dynamic_cast<QFileDialog&>(dialog);
        auto* name = files.findChild<QLineEdit*>("fileNameEdit");
        ASSERT_NE(name, nullptr);
        name->setText(typed.takeFirst());
        QMetaObject::invokeMethod(&files, "accept");
    };
    AnswerNextMessageBox(QMessageBox::No);  // do not replace list.quenbydata: choose again
    TriggerMenuItem("Save...");
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0], "list.quenbydata" + ToQString(text::kAlreadyExists));
    EXPECT_EQ(m_files.m_files[precious], (std::vector<std::uint8_t>{0, 0, 0, 0}));
    EXPECT_TRUE(m_files.m_files.count(folder.toStdString() + "/other.quenbydata"));
    EXPECT_TRUE(typed.isEmpty());
}

TEST_F(ShellTest, CtrlCCopiesANoticeAsItsTextPromises) {
    Start();
    QString copied;
    Window().m_onDialog = [&copied](QDialog& dialog) {
        auto& box = dynamic_cast<QMessageBox&>(dialog);
        QGuiApplication::clipboard()->clear();
        QTest::keyClick(box.button(QMessageBox::Ok), Qt::Key_C, Qt::ControlModifier);
        copied = QGuiApplication::clipboard()->text();
        box.button(QMessageBox::Ok)->click();
    };
    Window().ShowSuppressibleNotice(text::kPlainFileWarning);
    EXPECT_TRUE(copied.contains(ToQString(text::kPlainFileWarning))) << copied.toStdString();
    EXPECT_TRUE(copied.contains("Quenby by Holvane"));
}

TEST_F(ShellTest, TheWindowIsFirstShownWhereAndAsItWasLeft) {
    Start();
    QHeaderView* header = Window().m_pList->horizontalHeader();
    for (int column = 0; column < COLUMN_COUNT; ++column) {
        EXPECT_GE(header->sectionSize(column), header->sectionSizeHint(column)) << column;
    }
    header->resizeSection(1, 321);
    Window().setGeometry(QRect(Window().pos() + QPoint(40, 30), Window().size() + QSize(90, 60)));
    const QRect left = Window().geometry();
    Window().close();  // nothing unsaved: the window goes and stores its state
    Stop();

    // What the window looks like when it first appears on the screen.
    struct CFirstShow : QObject {
        std::optional<QRect> m_shown;
        bool eventFilter(QObject* watched, QEvent* event) override {
            if (event->type() == QEvent::Show && !m_shown &&
                dynamic_cast<CQuenbyDlg*>(watched) != nullptr) {
                m_shown = static_cast<QWidget*>(watched)->geometry();
            }
            return false;
        }
    } firstShow;
    QApplication::instance()->installEventFilter(&firstShow);
    Start();
    QApplication::instance()->removeEventFilter(&firstShow);
    EXPECT_EQ(firstShow.m_shown, left);
    EXPECT_EQ(Window().m_pList->columnWidth(1), 321);
    EXPECT_EQ(Window().m_pList->columnWidth(0), 50);
}

}  // namespace
}  // namespace quenby
