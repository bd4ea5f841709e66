#include <set>

#include "engine/WideText.h"
#include "linux/atspi/AtspiTextSetter.h"
#include "support/XDisplayFixture.h"

namespace quenby {
namespace {

// A real accessibility bus with a real Qt application on the test's own X server.
class AtspiTextSetterTest : public test::XDisplayTest {
protected:
    void SetUp() override {
        XDisplayTest::SetUp();
        StartSessionBus();
    }

    // Whether the application reported this field's text changing to `text`.
    static bool Changed(test::CChildProcess& app, const std::string& field,
                        const std::string& text) {
        return app.WaitForLine("CHANGED " + field + " " + test::Hex(text), 20000);
    }
    // Sets the line field last, and returns the other fields that changed before: the
    // application answers calls in turn, so a change made earlier cannot show up later.
    std::set<std::string> ChangedBefore(test::CChildProcess& app, ITextSetter& setter) {
        EXPECT_TRUE(setter.SetTextAt(m_fields["line"], u"last"));
        EXPECT_TRUE(Changed(app, "line", "last"));
        std::set<std::string> fields;
        for (const std::string& line : app.Lines()) {
            fields.insert(line.substr(0, line.rfind(' ')));
        }
        fields.erase("CHANGED line");
        return fields;
    }
};

// Fields are set whole. Buttons, read-only and disabled fields, the bare root window and a field
// another window covers are left alone: the window on top decides, even one of a program that
// cannot be asked about its fields.
TEST_F(AtspiTextSetterTest, FieldsAreSetWholeAndNothingElseIsTouched) {
    test::CChildProcess& app = LaunchTextFields();
    auto setter = SetterReaching(m_fields["line"]);
    ASSERT_TRUE(setter->SetTextAt(m_fields["line"], u"hello \u00e9\u4e2d"));
    EXPECT_TRUE(Changed(app, "line", "hello \u00e9\u4e2d"));
    ASSERT_TRUE(setter->CanSetTextAt(m_fields["plain"]));
    ASSERT_TRUE(setter->SetTextAt(m_fields["plain"], u"replaced"));
    EXPECT_TRUE(Changed(app, "plain", "replaced"));  // the old two lines are gone
    ASSERT_TRUE(setter->SetTextAt(m_fields["plain"], u"again"));
    EXPECT_TRUE(Changed(app, "plain", "again"));  // not appended to the earlier text

    ASSERT_TRUE(setter->CanSetTextAt(m_fields["covered"]));
    test::CChildProcess cover({QUENBY_KEY_RECORDER, "400", "0"});
    ASSERT_TRUE(cover.WaitForLine("READY", 20000));
    app.ClearLines();
    for (const char* field : {"button", "readonly", "disabled", "covered"}) {
        EXPECT_FALSE(setter->CanSetTextAt(m_fields[field])) << field;
        EXPECT_FALSE(setter->SetTextAt(m_fields[field], u"changed")) << field;
    }
    EXPECT_FALSE(setter->CanSetTextAt(ScreenPoint{1200, 1000}));  // the bare root window
    EXPECT_EQ(ChangedBefore(app, *setter), std::set<std::string>{});
}

// libatspi would abort the program without a bus: the factory must find that out first.
TEST_F(AtspiTextSetterTest, NoAccessibilityBusMeansNoSetter) {
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
