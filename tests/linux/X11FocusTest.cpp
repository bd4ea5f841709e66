#include <unistd.h>
#include <xcb/xcb.h>

#include "linux/x11/X11FocusWatcher.h"
#include "support/EventCounter.h"
#include "support/XDisplayFixture.h"

namespace quenby {
namespace {

// The focus watcher, against a real X server without a window manager.
class X11FocusTest : public test::XDisplayTest {
protected:
    void SetUp() override {
        XDisplayTest::SetUp();
        Expected<std::unique_ptr<CX11FocusWatcher>> watcher = CX11FocusWatcher::Open();
        ASSERT_TRUE(watcher.ok());
        m_watcher = std::move(watcher).value();
        m_watcher->SetFocusChangeHandler([this] { m_changes.Add(); });
        m_conn = xcb_connect(nullptr, nullptr);
    }
    void TearDown() override {
        m_watcher.reset();
        xcb_disconnect(m_conn);
        XDisplayTest::TearDown();
    }

    // Waits (on the watcher's change reports) until the focus it reports passes `test`.
    bool WaitForFocus(const std::function<bool(const FocusedWindow&)>& test) {
        return m_changes.WaitUntil([&](int) {
            const std::optional<FocusedWindow> focused = m_watcher->GetFocusedWindow();
            return focused && test(*focused);
        });
    }
    // A window of this process, marked with its process id as Qt marks Quenby's.
    xcb_window_t OwnWindow(xcb_window_t parent, std::int16_t x) {
        const xcb_window_t window = xcb_generate_id(m_conn);
        xcb_create_window(m_conn, XCB_COPY_FROM_PARENT, window, parent, x, 0, 100, 100, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
        const char name[] = "_NET_WM_PID";
        auto* atom = xcb_intern_atom_reply(
            m_conn, xcb_intern_atom(m_conn, 0, sizeof name - 1, name), nullptr);
        const auto pid = static_cast<std::uint32_t>(::getpid());
        if (parent == Root()) {  // Qt marks its top-level windows only
            xcb_change_property(m_conn, XCB_PROP_MODE_REPLACE, window, atom->atom,
                                XCB_ATOM_CARDINAL, 32, 1, &pid);
        }
        std::free(atom);
        xcb_map_window(m_conn, window);
        free(xcb_get_input_focus_reply(m_conn, xcb_get_input_focus(m_conn), nullptr));
        return window;
    }
    void Focus(xcb_window_t window) {
        xcb_set_input_focus(m_conn, XCB_INPUT_FOCUS_PARENT, window, XCB_CURRENT_TIME);
        free(xcb_get_input_focus_reply(m_conn, xcb_get_input_focus(m_conn), nullptr));
    }
    xcb_window_t Root() const { return xcb_setup_roots_iterator(xcb_get_setup(m_conn)).data->root; }

    std::unique_ptr<CX11FocusWatcher> m_watcher;
    xcb_connection_t* m_conn = nullptr;
    test::CEventCounter m_changes;
};

TEST_F(X11FocusTest, TheFocusedTopLevelWindowIsFollowedByEventsAndQuenbysOwnAreKnown) {
    StartRecorder();  // it takes the focus
    std::uint64_t first = 0;
    ASSERT_TRUE(WaitForFocus([&](const FocusedWindow& focused) {
        first = focused.m_id;
        return focused.m_id != 0 && !focused.m_bOwnWindow;
    }));
    // Another application takes the focus.
    test::CChildProcess second({QUENBY_KEY_RECORDER, "500", "0"});
    ASSERT_TRUE(second.WaitForLine("READY", 20000));
    std::uint64_t other = 0;
    ASSERT_TRUE(WaitForFocus([&](const FocusedWindow& focused) {
        other = focused.m_id;
        return focused.m_id != first && focused.m_id != 0;
    }));
    // A field inside a window of this process: known as Quenby's, and told by its top level.
    const xcb_window_t own = OwnWindow(Root(), 200);
    const xcb_window_t field = OwnWindow(own, 10);
    Focus(field);
    EXPECT_TRUE(WaitForFocus(
        [&](const FocusedWindow& focused) { return focused.m_bOwnWindow && focused.m_id == own; }));
    Focus(own);  // another field of the same window: nothing changes
    Focus(static_cast<xcb_window_t>(other));
    EXPECT_TRUE(WaitForFocus([&](const FocusedWindow& focused) {
        return focused.m_id == other && !focused.m_bOwnWindow;
    }));
    EXPECT_EQ(m_changes.Count(), 4);  // recorder, second recorder, own window, back
}

}  // namespace
}  // namespace quenby
