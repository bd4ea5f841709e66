#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine/MessageList.h"
#include "support/QuenbyProcess.h"
#include "win32/RegistryProfileStore.h"

namespace quenby::test {

// Quenby.exe as a user meets it: its profile (the program's own registry key, emptied before and
// after each test, which run one at a time) and a folder of data files of the test's own.
class CProgramTest : public testing::Test {
protected:
    CProgramTest();
    ~CProgramTest() override;

    // The profile the program reads when it starts.
    CRegistryProfileStore& Profile() { return m_profile; }
    // Writes the messages to a data file of the folder (plain or partly encrypted by the name).
    std::filesystem::path WriteDataFile(const std::wstring& name,
                                        const std::vector<MessageItem>& messages);
    // Waits until the data file holds exactly these texts; false (with what it held) otherwise.
    bool WaitForDataFile(const std::filesystem::path& path,
                         const std::vector<std::u16string>& texts, std::string& held);
    // The folder, with a blank in its name as user folders often have.
    const std::filesystem::path& Folder() const { return m_folder; }
    // Starts the program with the data file (quoted) and waits for its main window.
    std::unique_ptr<CQuenbyProcess> StartWith(const std::filesystem::path& dataFile, HWND& main);

private:
    std::filesystem::path m_folder;
    CRegistryProfileStore m_profile;
};

// A message typed as it is: no Enter before or after, no pause between characters.
MessageItem Plain(std::u16string text, std::int32_t milliSeconds = 0, std::uint32_t charDelay = 0);

}  // namespace quenby::test
