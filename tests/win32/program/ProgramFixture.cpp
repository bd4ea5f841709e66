#include "program/ProgramFixture.h"

#include "storage/DataFile.h"
#include "win32/DpapiDataProtector.h"
#include "win32/Win32FileStore.h"

namespace quenby::test {
namespace {

void DeleteProfile() {
    ::RegDeleteTreeW(HKEY_CURRENT_USER, CRegistryProfileStore::ApplicationKey().c_str());
}

std::string Describe(const CMessageList& list) {
    std::string text;
    for (std::size_t row = 0; row < list.GetItemCount(); ++row) {
        for (char16_t c : list.GetMessageText(row)) {
            text += c < 0x80 ? static_cast<char>(c) : '?';
        }
        text += '|';
    }
    return text;
}

}  // namespace

MessageItem Plain(std::u16string text, std::int32_t milliSeconds, std::uint32_t charDelay) {
    return MessageItem{std::move(text), 0, milliSeconds, false, false, charDelay, charDelay};
}

CProgramTest::CProgramTest() : m_profile(CRegistryProfileStore::ApplicationKey()) {
    DeleteProfile();
    m_folder = std::filesystem::temp_directory_path() /
               (L"quenby program " + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                std::to_wstring(::GetTickCount64()));
    std::filesystem::create_directories(m_folder);
}

CProgramTest::~CProgramTest() {
    DeleteProfile();
    std::error_code ignored;
    std::filesystem::remove_all(m_folder, ignored);
}

std::filesystem::path CProgramTest::WriteDataFile(const std::wstring& name,
                                                  const std::vector<MessageItem>& messages) {
    CMessageList list;
    for (const MessageItem& message : messages) {
        list.AddMessageItem(static_cast<std::int32_t>(list.GetItemCount()), message);
    }
    CWin32FileStore files;
    CDpapiDataProtector protector;
    const std::filesystem::path path = m_folder / name;
    EXPECT_TRUE(CDataFile(files, &protector).WriteDataFile(path, list).ok());
    return path;
}

bool CProgramTest::WaitForDataFile(const std::filesystem::path& path,
                                   const std::vector<std::u16string>& texts, std::string& held) {
    CWin32FileStore files;
    CDpapiDataProtector protector;
    return PumpUntil([&] {
        const Expected<CMessageList> list = CDataFile(files, &protector).ReadDataFile(path);
        if (!list.ok()) {
            held = "<unreadable>";
            return false;
        }
        held = Describe(list.value());
        if (list.value().GetItemCount() != texts.size()) {
            return false;
        }
        for (std::size_t row = 0; row < texts.size(); ++row) {
            if (list.value().GetMessageText(row) != texts[row]) {
                return false;
            }
        }
        return true;
    });
}

std::unique_ptr<CQuenbyProcess> CProgramTest::StartWith(const std::filesystem::path& dataFile,
                                                        HWND& main) {
    std::unique_ptr<CQuenbyProcess> quenby =
        CQuenbyProcess::Start(dataFile.empty() ? L"" : L"\"" + dataFile.wstring() + L"\"");
    main = quenby ? quenby->WaitForMainWindow() : nullptr;
    return quenby;
}

}  // namespace quenby::test
