#pragma once

#include <string_view>

// The program's own texts, shared by every shell. Message boxes take the application title as
// their caption unless a shell is told otherwise.
namespace quenby::text {

// Shortcut (start/stop).
inline constexpr std::u16string_view kHotKeySetupFailed =
    u"Failed to Setup Keyboard Shortcut Key to Start and Stop Automatic Typing.";
inline constexpr std::u16string_view kHotKeyStoreFailed =
    u"Failed to Store Keyboard Shortcut Key to Start and Stop Automatic Typing.";

// List editing.
inline constexpr std::u16string_view kSelectToEdit =
    u"Please Select a Message\n\nFrom the List Above to Edit.";
inline constexpr std::u16string_view kSelectToDelete =
    u"Please Select a Message\n\nFrom the List Above to Delete.";

// Files.
inline constexpr std::u16string_view kStoreFailed = u"Could Not Store Messages to Data File.";
inline constexpr std::u16string_view kStoreFailedContact =
    u"If this keeps happening, please write to support@holvane.example to get it fixed.";
inline constexpr std::u16string_view kLoadFailed = u"Could Not Load Messages from Data File.";
inline constexpr std::u16string_view kLoadFailedKept =
    u"The list was left as it was, and this file was not made the current data file.";
inline constexpr std::u16string_view kImportFailed = u"Could Not Append Lines from Text File.";
inline constexpr std::u16string_view kNoDataFile = u"No Data File Assigned Yet.";
inline constexpr std::u16string_view kShowFileFailed =
    u"The Current Data File could not be Shown: it does not exist any more.";
inline constexpr std::u16string_view kAskSaveChanges = u"Do you wish to Save Changes ?";
inline constexpr std::u16string_view kUntitled = u"Untitled";
// Asked about the file a save would really write, after the default extension was added: the
// file dialog could only check the name as typed. Followed by the file's name first.
inline constexpr std::u16string_view kAlreadyExists =
    u" already exists.\nDo you want to replace it?";

// Notices that can be silenced for good, with the identifiers under which that is remembered.
inline constexpr std::u16string_view kPlainFileWarning =
    u"Do NOT Store Secure / Personal / Sensitive Information in this Software.\n\nYou can open "
    u"the Saved File with Notepad or any other Text Editor to view it's contents.\n\nYou can "
    u"Press Ctrl+C to Copy this Message to Clipboard.";
inline constexpr std::string_view kPlainFileWarningId = "{e9108ba3-aa61-4398-dfbc-b02102c88e9b}";
inline constexpr std::u16string_view kEncryptedFileWarning =
    u"Do NOT Store Secure / Personal / Sensitive Information in this Software.\n\nWhen Storing "
    u"Data in Partly Encrypted File Format, the Message / Text String is Encrypted.\n\n"
    u"Typically, only a user with logon credentials that match those of the user who encrypted "
    u"the data can decrypt the data. In addition, decryption usually can only be done on the "
    u"computer where the data was encrypted. However, a user with a roaming profile can decrypt "
    u"the data from another computer on the network.\n\nYou can Press Ctrl+C to Copy this "
    u"Message to Clipboard.";
inline constexpr std::string_view kEncryptedFileWarningId =
    "{e9108ba3-9a61-4398-bfbc-b02102c88e9b}";

// Menus' information commands.
inline constexpr std::u16string_view kEncryptionInfo =
    u"When Storing Data in Partly Encrypted File Format, the Message / Text String is "
    u"Encrypted.\n\nTypically, only a user with logon credentials that match those of the user "
    u"who encrypted the data can decrypt the data. In addition, decryption usually can only be "
    u"done on the computer where the data was encrypted. However, a user with a roaming profile "
    u"can decrypt the data from another computer on the network.\n\nDo Not Store Personal / "
    u"Sensitive Information in this Software.";
inline constexpr std::u16string_view kKeyStorePrefix = u"On this computer, the key is kept ";
inline constexpr std::u16string_view kScreenshotSent =
    u"Screenshot of Quenby by Holvane has been Sent to Clipboard.\n\nYou can Press Ctrl + V in "
    u"any Image Editor, EMail Application, etc\n\nto Paste the Captured Screenshot.";
inline constexpr std::u16string_view kTypingFailed =
    u"Typing was Stopped: Quenby could not Send Keys.";
// A run ended by where the keyboard focus went.
inline constexpr std::u16string_view kFocusMoved =
    u"Typing stopped: another window took the focus.";
inline constexpr std::u16string_view kStopKeyTaken =
    u"Esc cannot stop this run: another program holds the key. Stop it with the shortcut or "
    u"Stop Now in the tray menu.";
inline constexpr std::u16string_view kFocusInQuenby =
    u"Put the keyboard focus in the application that should receive the text, then press the "
    u"shortcut.";

// Start/stop where programs cannot register a global shortcut (Wayland): the desktop runs
// `quenby --toggle` on a key of the user's choosing.
inline constexpr std::u16string_view kBindToggleHintWayland =
    u"Under Wayland, bind quenby --toggle to a key in your desktop's settings.";
inline constexpr std::u16string_view kBindToggleHint =
    u"Bind quenby --toggle to a key in your desktop's settings.";
inline constexpr std::u16string_view kBindToggleGnome =
    u"Under Wayland, Quenby cannot register a keyboard shortcut itself. To start and stop "
    u"typing with a key, open Settings, Keyboard, View and Customize Shortcuts, Custom "
    u"Shortcuts, and add a shortcut with the command\n\n    quenby --toggle\n\nthen press the "
    u"keys you want, for example Ctrl+Shift+F5.";
inline constexpr std::u16string_view kBindToggleKde =
    u"Under Wayland, Quenby cannot register a keyboard shortcut itself. To start and stop "
    u"typing with a key, open System Settings, Shortcuts, choose Add New, Command or Script, "
    u"enter the command\n\n    quenby --toggle\n\nand give it the keys you want, for example "
    u"Ctrl+Shift+F5.";
inline constexpr std::u16string_view kBindToggleWlroots =
    u"Under Wayland, Quenby cannot register a keyboard shortcut itself. To start and stop "
    u"typing with a key, add a binding to your compositor's configuration and reload it.\n\n"
    u"sway:\n    bindsym --release Ctrl+Shift+Pause exec quenby --toggle\n\nHyprland:\n    bind = "
    u"CTRL "
    u"SHIFT, F5, exec, quenby --toggle";
inline constexpr std::u16string_view kBindToggleOther =
    u"Under Wayland, Quenby cannot register a keyboard shortcut itself. To start and stop "
    u"typing with a key, bind the command\n\n    quenby --toggle\n\nto a key in your desktop's "
    u"keyboard settings.";

// Assign on GNOME under Wayland, where Quenby can add a custom shortcut to GNOME's settings.
inline constexpr std::u16string_view kAddDesktopShortcut =
    u"Under Wayland, Quenby cannot register a keyboard shortcut itself. Shall Quenby add the "
    u"shortcut \"Quenby: start/stop typing\" to GNOME's keyboard shortcuts, running "
    u"quenby --toggle with this combination? Quenby changes only that shortcut, and Clear "
    u"removes it.";

// Count box: the framework's integer check.
inline constexpr std::u16string_view kEnterInteger = u"Please enter an integer.";
inline constexpr std::u16string_view kEnterUnsigned = u"Please enter a positive integer.";

// Message editor.
inline constexpr std::u16string_view kEnterText =
    u"Please Enter Text to be Automatically Typed\n\nand then Press Enter to Continue.";
inline constexpr std::u16string_view kAddMessageCaption = u"Add Message - ";
inline constexpr std::u16string_view kEditMessageCaption = u"Edit Message - ";

// Settings dialog.
inline constexpr std::u16string_view kSettingsCaption = u"Settings - ";
inline constexpr std::u16string_view kCanSetText = u"Yes, Can Set Text at Cursor Location ";
inline constexpr std::u16string_view kCannotSetText = u"No, Cannot Set Text at Cursor Location ";
// Where there is no pointer position (Wayland), the probe looks at the focused field.
inline constexpr std::u16string_view kCanSetTextAtFocus = u"Yes, Can Set Text at the Focused Field";
inline constexpr std::u16string_view kCannotSetTextAtFocus =
    u"No, Cannot Set Text at the Focused Field";
inline constexpr std::u16string_view kSetTextHelp =
    u"Setting Text is Different than Simulating Text Typing.\n\nWhen you Enable Setting up Text, "
    u"you will Note that that the Settings Screen will Display Setting up Text Indication at "
    u"Current Mouse Cursor Location.\n\nFor Testing Purpose, you can open Notepad and Move Mouse "
    u"Cursor over Notepad Window and then Settings Screen should Indicate that Yes, Text can be "
    u"Set on Notepad Window.\n\nWhen you Start Automatic Text Typing with a Keyboard Shortcut "
    u"while having Mouse Cursor on Notepad, the Text will be Set instead of Typing Text.\n\nAlso "
    u"Note that Text Cursor on the Notepad will be at the Start of the text instead of End of the "
    u"Text.\n\nOnce you have Started Text Typing, you can Move Mouse Cursor at any other Location "
    u", but Setting up of Text will be done at the Initial Mouse Cursor Location.\n\nWhen Setting "
    u"up Text is Enabled and Mouse cursor is on a Control which does not Supports Settings up "
    u"Text, Text Typing will be Simulated.\n\nIf you do not Understand it completely, leave the "
    u"Setting up of Text Unchecked.";
inline constexpr std::u16string_view kSettingsEncryptionInfo =
    u"Typically, only a user with logon credentials that match those of the user who encrypted "
    u"the data can decrypt the data. In addition, decryption usually can only be done on the "
    u"computer where the data was encrypted. However, a user with a roaming profile can decrypt "
    u"the data from another computer on the network.";

inline constexpr std::u16string_view kStopOnFocusChange =
    u"Stop typing when another window takes the focus";
// Where the desktop does not tell programs which window has the focus.
inline constexpr std::u16string_view kStopOnFocusChangeUnknown =
    u"Stop typing when another window takes the focus (unknown on this desktop)";

// About box.
inline constexpr std::u16string_view kAboutCaptionPrefix = u"About ";
inline constexpr std::u16string_view kAboutVersion = u"Quenby Version 9.2";
inline constexpr std::u16string_view kAboutContact = u"Support: support@holvane.example";

// Web addresses of the link commands; the share pages carry the product page,
// https://www.holvane.example/quenby/, URL-encoded.
inline constexpr std::string_view kHomePage = "https://www.holvane.example/";
inline constexpr std::string_view kShareFacebook =
    "https://www.facebook.com/sharer.php?u=https%3A%2F%2Fwww.holvane.example%2Fquenby%2F";
inline constexpr std::string_view kShareTwitter =
    "https://twitter.com/share?url=https%3A%2F%2Fwww.holvane.example%2Fquenby%2F";
inline constexpr std::string_view kAnotherSoftware =
    "https://tutorials.holvane.example/automated-typing-and-clicking/";

}  // namespace quenby::text
