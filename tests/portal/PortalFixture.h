#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "support/ChildProcess.h"

namespace quenby::test {

// Which backend interfaces the test desktop's portal file names.
enum EPortalImpl : unsigned {
    PORTAL_NONE = 0,  // no frontend at all on the bus
    PORTAL_REMOTE_DESKTOP = 1,
    PORTAL_GLOBAL_SHORTCUTS = 2,
};

// A session bus of the test's own (no activatable services), the real xdg-desktop-portal
// frontend on it, and our recording backend (PortalBackend.py) serving the interfaces the
// portal file names; HOME and XDG folders under a temporary directory.
class PortalFixture : public ::testing::Test {
protected:
    void TearDown() override;

    // Starts the bus, the backend and, unless `impl` is PORTAL_NONE, the frontend.
    void StartDesktop(unsigned impl, const std::vector<std::string>& backendFlags = {});
    // The next `count` lines the backend printed that start with `prefix`, or fewer when they do
    // not come within `timeout`. Lines read meanwhile are kept in Seen().
    std::vector<std::string> Lines(const std::string& prefix, std::size_t count,
                                   std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // Waits for the backend to print `line`; false after `timeout`.
    bool WaitFor(const std::string& line,
                 std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // Every line the backend printed so far, that the test has read.
    const std::vector<std::string>& Seen() const { return m_seen; }
    // The backend presses the bound shortcut; false when it had none to press.
    bool PressShortcut(const std::string& id);

    static constexpr const char* kBackendName = "org.quenby.test.PortalBackend";

private:
    std::filesystem::path m_root;
    std::unique_ptr<CChildProcess> m_bus;
    std::unique_ptr<CChildProcess> m_backend;
    std::unique_ptr<CChildProcess> m_frontend;
    std::vector<std::string> m_seen;
};

}  // namespace quenby::test
