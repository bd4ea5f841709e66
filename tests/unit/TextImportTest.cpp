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

TEST(TextImport, EncodingsAndByteOrderMarks) {
    const struct {
        const char* what;
        std::vector<std::uint8_t> bytes;
        Lines simple;
        Lines unicode;
    } cases[] = {
        {"UTF-8 line",
         Bytes({'c', 'a', 'f', 0xC3, 0xA9, 0x0A, 0xF0, 0x9F, 0x98, 0x80}),
         {u"caf\u00e9", u"\U0001F600"},
         {}},
        // Only the line that is not UTF-8 is read byte by byte: nothing is lost either way.
        {"one 8-bit line among UTF-8",
         Bytes({0xE9, 't', 0xE9, 0x0A, 0xC3, 0xA9}),
         {u"\u00e9t\u00e9", u"\u00e9"},
         {}},
        {"overlong and surrogate forms are not UTF-8",
         Bytes({0xC0, 0xAF, 0x0A, 0xED, 0xA0, 0x80}),
         {u"\u00c0\u00af", u"\u00ed\u00a0\u0080"},
         {}},
        {"cut sequence", Bytes({'a', 0xE2, 0x82}), {u"a\u00e2\u0082"}, {}},
        {"0x1A ends the file", Bytes({'a', 0x0A, 'b', 0x1A, 'c', 0x0A, 'd'}), {u"a", u"b"}, {}},
        {"UTF-8 mark dropped", Bytes({0xEF, 0xBB, 0xBF, 'a'}), {u"a"}, {}},
        {"UTF-16 mark: UTF-16 in both",
         Bytes({0xFF, 0xFE, 'a', 0, 0x0A, 0, 0x3D, 0xD8, 0x00, 0xDE}),
         {u"a", u"\U0001F600"},
         {u"a", u"\U0001F600"}},
        {"final odd byte ignored", Bytes({'a', 0, 0x0A, 0, 'b'}), {}, {u"a"}},
    };
    for (const auto& c : cases) {
        if (!c.simple.empty()) {
            EXPECT_EQ(ReadSimpleTextLines(c.bytes), c.simple) << c.what;
        }
        if (!c.unicode.empty()) {
            EXPECT_EQ(ReadUnicodeTextLines(c.bytes), c.unicode) << c.what;
        }
    }
}

}  // namespace
}  // namespace quenby
