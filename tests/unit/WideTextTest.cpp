#include <gtest/gtest.h>

#include <climits>

#include "engine/WideText.h"
#include "input/SurrogateJoiner.h"

namespace quenby {
namespace {

struct WtoiCase {
    std::u16string text;
    std::int32_t expected;
};

TEST(WtoiSaturating, ConvertsLikeTheCLibrary) {
    const WtoiCase cases[] = {
        {u"20", 20},
        {u"", 0},
        {u"abc", 0},
        {u"  \t42xyz", 42},
        {u"+7", 7},
        {u"-15", -15},
        {u"- 1", 0},
        {u"2147483647", INT_MAX},
        {u"2147483648", INT_MAX},
        {u"4294967295", INT_MAX},
        {u"99999999999999999999999", INT_MAX},
        {u"-2147483648", INT_MIN},
        {u"-2147483649", INT_MIN},
        {u"-99999999999999999999", INT_MIN},
        {u"0012", 12},
        {u"\x0661\x0662", 0},  // digits of other scripts are not decimal digits here
    };
    for (const WtoiCase& c : cases) {
        EXPECT_EQ(WtoiSaturating(c.text), c.expected) << Utf8FromUtf16(c.text);
    }
}

TEST(Utf8Conversion, RoundTripsEveryScalarValueKind) {
    const std::u16string texts[] = {u"plain", u"\u00e9t\u00e9", u"\u4e2d\u6587",
                                    u"\U0001F600 smile", u""};
    for (const std::u16string& text : texts) {
        EXPECT_EQ(Utf16FromUtf8(Utf8FromUtf16(text)), text);
    }
}

TEST(Utf8Conversion, ReplacesWhatIsNotValid) {
    EXPECT_EQ(Utf16FromUtf8("a\xff"
                            "b"),
              u"a\uFFFDb");
    EXPECT_EQ(Utf16FromUtf8("\xc0\x80"), u"\uFFFD");      // overlong NUL
    EXPECT_EQ(Utf16FromUtf8("\xed\xa0\x80"), u"\uFFFD");  // encoded surrogate
    EXPECT_EQ(Utf16FromUtf8("\xe4\xb8"), u"\uFFFD");      // cut sequence
    EXPECT_EQ(Utf16FromUtf8("\xe4\xb8x"), u"\uFFFDx");    // the next byte is kept
    EXPECT_EQ(Utf8FromUtf16(std::u16string(1, char16_t{0xD800})), "\xef\xbf\xbd");
}

TEST(SurrogateJoiner, KeyEventsOfUnitsBecomeWholeCharactersAndLoneHalvesNothing) {
    // Each unit pressed and released in turn, as the typer sends them; what each event stands for.
    const struct {
        const char* what;
        std::u16string units;
        std::u32string pressed;
    } cases[] = {
        {"plain", u"a\u00e9", U"a\u00e9"},
        {"a pair", u"\U0001F600", U"\U0001F600"},
        {"a lone low half", u"\xDE00x", U"x"},
        {"a high half then another character forgets the half", u"\xD83Dx\xDE00", U"x"},
        {"two pairs", u"\U0001F600\U00020000", U"\U0001F600\U00020000"},
    };
    for (const auto& c : cases) {
        CSurrogateJoiner joiner;
        std::u32string pressed;
        for (const char16_t unit : c.units) {
            const std::optional<char32_t> down = joiner.Join(unit, true);
            if (down) {
                pressed.push_back(*down);
            }
            EXPECT_EQ(joiner.Join(unit, false), down) << c.what;  // the release matches it
        }
        EXPECT_EQ(pressed, c.pressed) << c.what;
    }
}

}  // namespace
}  // namespace quenby
