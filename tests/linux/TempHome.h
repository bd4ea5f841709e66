#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

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
        std::error_code ignored;
        std::filesystem::permissions(m_root, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(m_root, ignored);
    }

    static std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    static void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
        std::ofstream out(path, std::ios::binary);
        out << bytes;
    }

    std::filesystem::path m_root;
    std::filesystem::path m_home;
};

}  // namespace quenby::test
