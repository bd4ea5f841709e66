#include <gtest/gtest.h>

#include "storage/TextImport.h"
#include "support/ListBuilders.h"

namespace quenby {
namespace {

using test::Bytes;
using Lines = std::vector<std::u16string>;

// The same bytes as UTF-16LE units.
std::vector<std::uint8_t> Wide(const std::vector<std::uint8_t>& narrow) {
    std::vector<std::uint8_t> wide;
    for (std::uint8_t byte : narrow) {
        wide.push_back(byte);
        wide.push_back(0);
    }
    return wide;
}

struct Case {
    const char* what;
    std::vector<std::uint8_t> bytes;
    Lines simple;   // the 8-bit reader
    Lines unicode;  // the UTF-16LE reader, on the same bytes widened
};

TEST(TextImport, LineRulesOfBothReaders) {
    const Case cases[] = {
        {"a, empty, b",
         Bytes({'a', 0x0D, 0x0A, 0x0D, 0x0A, 'b'}),
         {u"a", u"", u"b"},
         {u"a", u"", u"b"}},
        {"final break adds nothing", Bytes({'a', 0x0A}), {u"a"}, {u"a"}},
        {"final CR LF adds nothing", Bytes({'a', 0x0D, 0x0A}), {u"a"}, {u"a"}},
        {"empty file", Bytes({}), {}, {}},
        {"one break", Bytes({0x0A}), {u""}, {u""}},
        {"two breaks", Bytes({0x0A, 0x0A}), {u"", u""}, {u"", u""}},
        // A lone CR stays in 8-bit text; in UTF-16 it ends the line and takes the next unit.
        {"lone CR", Bytes({'a', 0x0D, 'b', 0x0A, 'c'}), {u"a\rb", u"c"}, {u"ab", u"", u"c"}},
        {"CR at the end", Bytes({'a', 0x0D}), {u"a\r"}, {u"a"}},
        {"no break at all", Bytes({'x', 'y'}), {u"xy"}, {u"xy"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ReadSimpleTextLines(c.bytes), c.simple) << c.what;
        EXPECT_EQ(ReadUnicodeTextLines(Wide(c.bytes)), c.unicode) << c.what;
    }
}

TEST(TextImport, SimpleReaderMapsEachByteToTheSameCodePointAndStopsAt1A) {
    EXPECT_EQ(ReadSimpleTextLines(Bytes({0xE9, 0x80, 0xFF})), (Lines{u"\u00e9\u0080\u00ff"}));
    EXPECT_EQ(ReadSimpleTextLines(Bytes({'a', 0x0A, 'b', 0x1A, 'c', 0x0A, 'd'})),
              (Lines{u"a", u"b"}));
    EXPECT_EQ(ReadSimpleTextLines(Bytes({0x1A, 'a'})), Lines{});
    // A UTF-8 byte-order mark is three characters like any other bytes.
    EXPECT_EQ(ReadSimpleTextLines(Bytes({0xEF, 0xBB, 0xBF, 'a'})), (Lines{u"\u00ef\u00bb\u00bfa"}));
}

TEST(TextImport, UnicodeReaderKeepsTheByteOrderMarkAndIgnoresAFinalOddByte) {
    EXPECT_EQ(ReadUnicodeTextLines(Bytes({0xFF, 0xFE, 'a', 0, 0x0A, 0, 'b', 0})),
              (Lines{u"\uFEFFa", u"b"}));
    EXPECT_EQ(ReadUnicodeTextLines(Bytes({'a', 0, 0x0A, 0, 'b'})), (Lines{u"a"}));
    EXPECT_EQ(ReadUnicodeTextLines(Bytes({'a'})), Lines{});
    EXPECT_EQ(ReadUnicodeTextLines(Bytes({0x2D, 0x4E, 0x3D, 0xD8, 0x00, 0xDE})),
              (Lines{u"\u4e2d\U0001F600"}));
}

}  // namespace
}  // namespace quenby
