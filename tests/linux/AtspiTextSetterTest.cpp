#include <signal.h>

#include <chrono>
#include <map>
#include <thread>

#include "engine/WideText.h"
#include "linux/atspi/AtspiTextSetter.h"
#include "support/SessionBus.h"
#include "support/XDisplayFixture.h"

namespace quenby {
namespace {

// A real accessibility bus with real Qt and GTK applications on the test's own X server.
class AtspiTextSetterTest : public test::XDisplayTest {
protected:
    void SetUp() override {
        XDisplayTest::SetUp();
        m_bus = std::make_unique<test::CSessionBus>((m_root / "run").string());
        ASSERT_TRUE(m_bus->Started());
    }
    void TearDown() override {
        m_apps.clear();
        m_bus.reset();
        XDisplayTest::TearDown();
    }

    // Starts a test application and reads the middle points of its fields.
    test::CChildProcess& Launch(const std::vector<std::string>& argv) {
        m_apps.push_back(std::make_unique<test::CChildProcess>(
            argv, std::vector<std::string>{"QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1",
                                           "QT_QPA_PLATFORM=xcb", "NO_AT_BRIDGE=0"}));
        test::CChildProcess& app = *m_apps.back();
        EXPECT_TRUE(app.WaitForLine("READY", 30000)) << argv[0];
        for (const std::string& line : app.Lines()) {
            char name[32] = {};
            int x = 0;
            int y = 0;
            if (std::sscanf(line.c_str(), "FIELD %31s %d %d", name, &x, &y) == 3) {
                m_fields[name] = ScreenPoint{x, y};
            }
        }
        app.ClearLines();
        return app;
    }
    test::CChildProcess& LaunchQt() { return Launch({QUENBY_QT_TEXT_FIELDS}); }

    // Whether the application reported this field's text changing to `text` within the time.
    static bool Changed(test::CChildProcess& app, const std::string& field, const std::string& text,
                        int timeoutMs = 5000) {
        return app.WaitForLine("CHANGED " + field + " " + test::Hex(text), timeoutMs);
    }
    static bool AnyChange(test::CChildProcess& app, const std::string& field) {
        std::string line;
        while (app.ReadLine(line, 1000)) {
            if (line.rfind("CHANGED " + field + " ", 0) == 0) {
                return true;
            }
        }
        return false;
    }

    // An application registers with the accessibility bus some time after its window shows: wait
    // until the field is reachable before testing what can and cannot be done with it.
    static bool WaitUntilSettable(ITextSetter& setter, ScreenPoint point) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::chrono::steady_clock::now() < deadline) {
            if (setter.CanSetTextAt(point)) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return false;
    }

    std::unique_ptr<ITextSetter> Setter() {
        std::unique_ptr<ITextSetter> setter = m_factory.CreateTextSetter();
        EXPECT_NE(setter, nullptr);
        return setter;
    }

    std::unique_ptr<test::CSessionBus> m_bus;
    std::vector<std::unique_ptr<test::CChildProcess>> m_apps;
    std::map<std::string, ScreenPoint> m_fields;
    CAtspiTextSetterFactory m_factory;
};

TEST_F(AtspiTextSetterTest, QtFieldsAreFoundAndSetWhole) {
    test::CChildProcess& app = LaunchQt();
    auto setter = Setter();
    ASSERT_TRUE(WaitUntilSettable(*setter, m_fields["line"]));
    ASSERT_TRUE(setter->SetTextAt(m_fields["line"], u"hello \u00e9\u4e2d"));
    EXPECT_TRUE(Changed(app, "line", "hello \u00e9\u4e2d"));

    ASSERT_TRUE(setter->CanSetTextAt(m_fields["plain"]));
    ASSERT_TRUE(setter->SetTextAt(m_fields["plain"], u"replaced"));
    EXPECT_TRUE(Changed(app, "plain", "replaced"));  // the old two lines are gone
    ASSERT_TRUE(setter->SetTextAt(m_fields["plain"], u"again"));
    EXPECT_TRUE(Changed(app, "plain", "again"));  // not appended to the earlier text
}

TEST_F(AtspiTextSetterTest, ButtonsReadOnlyAndDisabledFieldsAreLeftAlone) {
    test::CChildProcess& app = LaunchQt();
    auto setter = Setter();
    ASSERT_TRUE(WaitUntilSettable(*setter, m_fields["line"]));
    for (const char* field : {"button", "readonly", "disabled"}) {
        EXPECT_FALSE(setter->CanSetTextAt(m_fields[field])) << field;
        EXPECT_FALSE(setter->SetTextAt(m_fields[field], u"changed")) << field;
    }
    EXPECT_FALSE(AnyChange(app, "readonly"));
    EXPECT_FALSE(AnyChange(app, "disabled"));
    EXPECT_FALSE(setter->CanSetTextAt(ScreenPoint{1200, 1000}));  // the bare root window
}

TEST_F(AtspiTextSetterTest, AGtkEntryIsSetToo) {
    test::CChildProcess& app = Launch({"/usr/bin/python3", QUENBY_GTK_ENTRY});
    auto setter = Setter();
    ASSERT_TRUE(WaitUntilSettable(*setter, m_fields["entry"]));
    ASSERT_TRUE(setter->SetTextAt(m_fields["entry"], u"from quenby"));
    EXPECT_TRUE(Changed(app, "entry", "from quenby"));
}

TEST_F(AtspiTextSetterTest, AWindowCoveredByAnotherIsNotTheOneChosen) {
    test::CChildProcess& qt = LaunchQt();
    auto setter = Setter();
    const ScreenPoint covered = m_fields["covered"];
    ASSERT_TRUE(WaitUntilSettable(*setter, covered));  // uncovered, it takes text
    Launch({"/usr/bin/python3", QUENBY_GTK_ENTRY, "--cover", "400", "0", "260", "100"});
    EXPECT_FALSE(setter->CanSetTextAt(covered));
    EXPECT_FALSE(setter->SetTextAt(covered, u"through the cover"));
    EXPECT_FALSE(AnyChange(qt, "covered"));
}

TEST_F(AtspiTextSetterTest, AnApplicationThatDoesNotAnswerCannotStallTheCaller) {
    test::CChildProcess& app = LaunchQt();
    auto setter = Setter();
    ASSERT_TRUE(WaitUntilSettable(*setter, m_fields["line"]));
    app.Signal(SIGSTOP);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(setter->CanSetTextAt(m_fields["line"]));
    const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now() - start)
                            .count();
    RecordProperty("hung_probe_ms", static_cast<int>(waited));
    std::printf("probe of a stopped application gave up after %lld ms\n",
                static_cast<long long>(waited));
    app.Signal(SIGCONT);
}

class AtspiWithoutBusTest : public test::XDisplayTest {};

// libatspi would abort the program without a bus: the factory must find that out first.
TEST_F(AtspiWithoutBusTest, NoAccessibilityBusMeansNoSetter) {
    ::setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus", 1);
    ::setenv("AT_SPI_BUS_ADDRESS", "unix:path=/nonexistent/a11y", 1);
    CAtspiTextSetterFactory factory;
    std::unique_ptr<ITextSetter> setter = factory.CreateTextSetter();
    EXPECT_EQ(setter, nullptr);
    ::unsetenv("AT_SPI_BUS_ADDRESS");
    EXPECT_EQ(factory.CreateTextSetter(), nullptr);  // no session bus to ask either
}

}  // namespace
}  // namespace quenby
