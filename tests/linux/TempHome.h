#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "support/ChildProcess.h"

namespace quenby::test {

// A fresh HOME with its own XDG folders for one test, removed afterwards. The environment is
// the process's, and ctest runs every test in a process of its own.
class TempHome : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "quenby-test-XXXXXX");
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_root = pattern;
        m_home = m_root / "home";
        std::filesystem::create_directories(m_home);
        ::setenv("HOME", m_home.c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (m_home / ".config").c_str(), 1);
        ::setenv("XDG_DATA_HOME", (m_home / ".local/share").c_str(), 1);
    }
    void TearDown() override {
        m_keyring.reset();
        m_bus.reset();
        std::error_code ignored;
        std::filesystem::permissions(m_root, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(m_root, ignored);
    }

    // A session bus of the test's own, as dbus-run-session would give, its runtime folder (where
    // a keyring keeps its socket) inside the test's folder.
    bool StartSessionBus() {
        ::mkdir((m_root / "run").c_str(), 0700);
        ::setenv("XDG_RUNTIME_DIR", (m_root / "run").c_str(), 1);
        m_bus = std::make_unique<CChildProcess>(
            std::vector<std::string>{"dbus-daemon", "--session", "--nofork", "--print-address=1"});
        std::string address;
        EXPECT_TRUE(m_bus->ReadLine(address, 20000) && !address.empty()) << "no session bus";
        ::setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
        return !address.empty();
    }
    // An unlocked login keyring on that bus, serving the Secret Service.
    bool StartKeyring() {
        m_keyring = std::make_unique<CChildProcess>(
            std::vector<std::string>{"gnome-keyring-daemon", "--foreground", "--unlock",
                                     "--components=secrets"},
            std::vector<std::string>{}, "test-password");
        return RunCommand({"gdbus", "wait", "--session", "--timeout", "20",
                           "org.freedesktop.secrets"}) == 0;
    }
    // No session bus at all: nothing on it, the Secret Service included, can be reached.
    void WithoutSessionBus() {
        ::setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + (m_root / "no-bus").string()).c_str(),
                 1);
    }

    static std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    static std::string ReadText(const std::filesystem::path& path) {
        const std::vector<std::uint8_t> bytes = ReadBytes(path);
        return {bytes.begin(), bytes.end()};
    }
    static std::vector<std::uint8_t> Bytes(const std::string& text) {
        return {text.begin(), text.end()};
    }
    // The names in a folder.
    static std::vector<std::filesystem::path> Entries(const std::filesystem::path& folder) {
        std::vector<std::filesystem::path> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            names.push_back(entry.path().filename());
        }
        return names;
    }
    static void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
        std::ofstream out(path, std::ios::binary);
        out << bytes;
    }

    std::filesystem::path m_root;
    std::filesystem::path m_home;
    std::unique_ptr<CChildProcess> m_bus;
    std::unique_ptr<CChildProcess> m_keyring;
};

}  // namespace quenby::test
