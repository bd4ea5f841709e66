// Quenby.exe's message editor with what users paste and what files hold: a pasted text keeps
// every line (as spaces) and every unit past the control's usual 32,767, a message that long is
// edited without a unit lost, and a number field takes nothing but a number in its range.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <tuple>

#include "program/ProgramFixture.h"

namespace quenby::test {
namespace {

// Above the edit control's default limit, and above what 16 bits count.
constexpr std::size_t kLengths[] = {40'003, 70'001};

// A text of `length` UTF-16 units of several scripts, surrogate pairs among them.
std::u16string LongText(std::size_t length) {
    const std::u16string pattern = u"abc \u00e9\u4e2d\U0001F600-";
    std::u16string text;
    while (text.size() < length) {
        text += pattern;
    }
    text.resize(length - 1);
    return text + u".";
}

bool PutOnClipboard(const std::u16string& text) {
    if (!::OpenClipboard(nullptr)) {
        return false;
    }
    ::EmptyClipboard();
    HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(char16_t));
    bool put = false;
    if (void* bytes = memory != nullptr ? ::GlobalLock(memory) : nullptr) {
        std::memcpy(bytes, text.c_str(), (text.size() + 1) * sizeof(char16_t));
        ::GlobalUnlock(memory);
        put = ::SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
    }
    ::CloseClipboard();
    return put;
}

class ProgramEditor : public CProgramTest {
protected:
    HWND OpenEditor(int button, const wchar_t* caption) {
        ClickButton(m_main, button);
        return WaitForDialog(caption);
    }
    // Replaces the whole text of the control by a paste of the text, as Ctrl+V does.
    static std::wstring Paste(HWND editor, int id, const std::u16string& text) {
        HWND field = ::GetDlgItem(editor, id);
        ::SendMessageW(field, EM_SETSEL, 0, -1);
        EXPECT_TRUE(PutOnClipboard(text));
        ::SendMessageW(field, WM_PASTE, 0, 0);
        return ControlText(field);
    }
    // Presses OK and waits until the editor is gone and the main window has done what followed.
    bool Confirm(HWND editor) {
        DWORD_PTR ignored = 0;
        return CloseWith(editor, IDOK) &&
               ::SendMessageTimeoutW(m_main, WM_NULL, 0, 0, SMTO_NORMAL, 20000, &ignored) != 0;
    }
    std::vector<std::u16string> Texts(const std::filesystem::path& path) {
        std::vector<std::u16string> texts;
        const Expected<CMessageList> list = ReadDataFile(path);
        for (std::size_t row = 0; list.ok() && row < list.value().GetItemCount(); ++row) {
            texts.push_back(list.value().GetMessageItem(row).m_strText);
        }
        return texts;
    }
};

TEST_F(ProgramEditor, APastedTextKeepsEveryLineAsSpacesAndEveryUnit) {
    const std::filesystem::path data = WriteDataFile(L"pasted.quenbydata", {Plain(u"first")});
    ASSERT_TRUE(Start(data));
    HWND editor = OpenEditor(IDC_ADD_NEW, L"Add Message - ");
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(Paste(editor, kTextId, u"win line one\nline two\tTAB\r\nthree"),
              L"win line one line two\tTAB three");
    const std::u16string longText = LongText(kLengths[1]) + u"\r\nlast line";
    const std::u16string expected = LongText(kLengths[1]) + u" last line";
    EXPECT_EQ(Paste(editor, kTextId, longText).size(), expected.size());
    ASSERT_TRUE(Confirm(editor));
    const std::vector<std::u16string> texts = Texts(data);
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_TRUE(texts[1] == expected) << texts[1].size() << " units stored";
}

TEST_F(ProgramEditor, AMessagePastTheControlsLimitsIsEditedWithoutAUnitLost) {
    std::vector<std::u16string> expected{LongText(kLengths[0]), LongText(kLengths[1])};
    const std::filesystem::path data =
        WriteDataFile(L"long.quenbydata", {Plain(expected[0]), Plain(expected[1])});
    // Older than any save this test makes, so a save shows.
    const auto old = std::filesystem::last_write_time(data) - std::chrono::hours(1);
    ASSERT_TRUE(Start(data));
    // Each row confirmed as it was, then with a character typed at its end.
    for (const auto& [key, row, typed] : {std::tuple{VK_HOME, 0, false},
                                          {VK_END, 1, false},
                                          {VK_HOME, 0, true},
                                          {VK_END, 1, true}}) {
        SCOPED_TRACE(testing::Message() << "row " << row << (typed ? " typed into" : ""));
        std::filesystem::last_write_time(data, old);
        ::PostMessageW(::GetDlgItem(m_main, kListId), WM_KEYDOWN, static_cast<WPARAM>(key), 0);
        HWND editor = OpenEditor(IDC_EDIT_SELECTED, L"Edit Message - ");
        ASSERT_NE(editor, nullptr);
        if (typed) {
            HWND field = ::GetDlgItem(editor, kTextId);
            ::SendMessageW(field, EM_SETSEL, expected[row].size(), expected[row].size());
            ::SendMessageW(field, WM_CHAR, L'!', 0);
            expected[row] += u"!";
        }
        ASSERT_TRUE(Confirm(editor));
        ASSERT_TRUE(PumpUntil([&] { return std::filesystem::last_write_time(data) != old; }))
            << "not saved";
        const std::vector<std::u16string> texts = Texts(data);
        ASSERT_EQ(texts.size(), 2u);
        for (std::size_t i = 0; i < 2; ++i) {
            EXPECT_TRUE(texts[i] == expected[i]) << texts[i].size() << " units in row " << i;
        }
    }
}

TEST_F(ProgramEditor, APastedNegativeNumberIsRefusedWithTheFieldsMessage) {
    const std::filesystem::path data = WriteDataFile(L"numbers.quenbydata", {Plain(u"first")});
    ASSERT_TRUE(Start(data));
    for (const auto& [field, expected] :
         {std::pair{kSecondsId, L"Please enter an integer."},
          std::pair{kCharDelayMinId, L"Please enter a positive integer."}}) {
        SCOPED_TRACE(field);
        HWND editor = OpenEditor(IDC_ADD_NEW, L"Add Message - ");
        ASSERT_NE(editor, nullptr);
        ::SetDlgItemTextW(editor, kTextId, L"negative");
        // The field takes digits only from the keyboard, but a paste gets past that.
        EXPECT_EQ(Paste(editor, field, u"-12"), L"-12");
        ClickButton(editor, IDOK);
        HWND message = WaitForDialog(kTitle);
        ASSERT_NE(message, nullptr) << "OK took -12";
        EXPECT_EQ(MessageBoxText(message), expected);
        ASSERT_TRUE(CloseWith(message, IDOK));
        EXPECT_TRUE(::IsWindow(editor)) << "the editor closed";
        ASSERT_TRUE(CloseWith(editor, IDCANCEL));
    }
    EXPECT_EQ(Texts(data), std::vector<std::u16string>{u"first"});
}

}  // namespace
}  // namespace quenby::test
