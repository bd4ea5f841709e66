// The data files byte for byte, the paths that name them, and the text files imported into lists.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>

#include "engine/WideText.h"
#include "storage/DataFileCodec.h"
#include "storage/DataFilePath.h"
#include "storage/TextImport.h"
#include "support/CoreFixture.h"

namespace quenby {
namespace {

using test::Bytes;
using test::Item;
using test::ItemsOf;
using test::ListOf;

constexpr EDataFileForm kBothForms[] = {EDataFileForm::Plain, EDataFileForm::Protected};

class DataFileCodec : public ::testing::Test {
protected:
    std::vector<std::uint8_t> Encode(const CMessageList& list, EDataFileForm form) {
        Expected<std::vector<std::uint8_t>> bytes = EncodeDataFile(list, form, &m_protector);
        EXPECT_TRUE(bytes.ok()) << Utf8FromUtf16(bytes.reason());
        return bytes.ok() ? bytes.value() : std::vector<std::uint8_t>{};
    }
    Expected<CMessageList> Decode(std::span<const std::uint8_t> bytes, EDataFileForm form) {
        return DecodeDataFile(bytes, form, &m_protector);
    }
    // A plain file of one record with zero numbers and this text field.
    static std::vector<std::uint8_t> OneRecord(const std::vector<std::uint8_t>& text) {
        std::vector<std::uint8_t> bytes = Bytes({1, 0, 0, 0});
        bytes.resize(28, 0);
        bytes.insert(bytes.end(), text.begin(), text.end());
        return bytes;
    }

    test::CFakeDataProtector m_protector;
};

TEST_F(DataFileCodec, RecordsByteForByte) {
    // The delay is written normalised and the PC bounds as their cells read back, saturated.
    const CMessageList hi = ListOf({Item(u"Hi", 1, 500, true, false, 20, 60)});
    const std::vector<std::uint8_t> plain = Encode(hi, EDataFileForm::Plain);
    EXPECT_EQ(plain, Bytes({1, 0, 0,  0, 1, 0, 0,  0, 0xF4, 1, 0,   0, 1,   0, 0,    0, 0,    0,
                            0, 0, 20, 0, 0, 0, 60, 0, 0,    0, 'H', 0, 'i', 0, 0x0D, 0, 0x0A, 0}));
    EXPECT_EQ(
        Encode(ListOf({Item(u"", 0, 1500, false, true, 4294967295u, 2147483648u)}),
               EDataFileForm::Plain),
        Bytes({1, 0, 0, 0, 1,    0,    0,    0,    0xF4, 1,    0,    0,    0,    0, 0,    0,
               1, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0xFF, 0xFF, 0x7F, 0x0D, 0, 0x0A, 0}));
    // The protected form: the same numbers, then the sealed text's count and bytes, no CR LF.
    // "Hi" and a zero unit is 6 bytes; the fake adds a 5-byte tag and a 4-byte checksum.
    const std::vector<std::uint8_t> sealed = Encode(hi, EDataFileForm::Protected);
    ASSERT_EQ(sealed.size(), 30u + 15u);
    EXPECT_TRUE(std::equal(plain.begin(), plain.begin() + 28, sealed.begin()));
    EXPECT_EQ(sealed[28] | (sealed[29] << 8), 15);
}

TEST_F(DataFileCodec, SealedTextsFromFFFFBytesOnTakeTheSixByteCount) {
    // Sealed size = 2 * units + 2 (terminator) + 9 (fake overhead).
    const struct {
        std::size_t units;
        std::size_t countBytes;
    } cases[] = {{32761, 2}, {32762, 6}, {40000, 6}};  // 65533, 65535 and 80011 sealed bytes
    for (const auto& c : cases) {
        const CMessageList list = ListOf({Item(std::u16string(c.units, u'z'))});
        const std::vector<std::uint8_t> bytes = Encode(list, EDataFileForm::Protected);
        const std::size_t sealedSize = 2 * c.units + 11;
        ASSERT_EQ(bytes.size(), 4 + 24 + c.countBytes + sealedSize) << c.units;
        if (c.countBytes == 6) {
            EXPECT_EQ(bytes[28] & bytes[29], 0xFF);
            EXPECT_EQ(bytes[30] | (bytes[31] << 8) | (bytes[32] << 16) | (bytes[33] << 24),
                      static_cast<int>(sealedSize));
        }
        const Expected<CMessageList> back = Decode(bytes, EDataFileForm::Protected);
        ASSERT_TRUE(back.ok()) << Utf8FromUtf16(back.reason());
        EXPECT_EQ(back.value().GetMessageText(0).size(), c.units);
    }
}

TEST_F(DataFileCodec, RandomListsRoundTripInBothForms) {
    // Protected texts hold line breaks and NUL too; round 0 is the empty list.
    std::mt19937 random(20261206);
    for (int round = 0; round < 60; ++round) {
        const EDataFileForm form = kBothForms[round % 2];
        const std::vector<MessageItem> items = test::RandomItems(
            random, static_cast<std::size_t>(round * 3), form == EDataFileForm::Protected);
        const Expected<CMessageList> back = Decode(Encode(ListOf(items), form), form);
        ASSERT_TRUE(back.ok()) << "round " << round << ": " << Utf8FromUtf16(back.reason());
        EXPECT_EQ(ItemsOf(back.value()), items) << "round " << round;
    }
}

TEST_F(DataFileCodec, WhatAFileCannotHoldIsRefusedAndNoFileMade) {
    for (const char16_t* text : {u"a\rb", u"a\nb", u"\r\n"}) {
        const Expected<std::vector<std::uint8_t>> bytes = EncodeDataFile(
            ListOf({Item(u"fine"), Item(text), Item(u"after")}), EDataFileForm::Plain, nullptr);
        ASSERT_FALSE(bytes.ok());
        EXPECT_NE(bytes.reason().find(u"Message 2 contains a line break"), std::u16string::npos);
    }
    EXPECT_FALSE(EncodeDataFile(ListOf({Item(u"x")}), EDataFileForm::Protected, nullptr).ok());
    m_protector.m_bFailProtect = true;
    const Expected<std::vector<std::uint8_t>> bytes =
        EncodeDataFile(ListOf({Item(u"secret")}), EDataFileForm::Protected, &m_protector);
    ASSERT_FALSE(bytes.ok());
    EXPECT_NE(bytes.reason().find(u"could not be encrypted: the key store is locked"),
              std::u16string::npos);
}

TEST_F(DataFileCodec, ATextThatCannotBeUnprotectedFailsTheWholeFile) {
    std::vector<std::uint8_t> bytes =
        Encode(ListOf({Item(u"one"), Item(u"two"), Item(u"three")}), EDataFileForm::Protected);
    // Damage one byte of the second sealed text: a sealed text is 2 + 5 + 2*3+2 + 4 = 19 bytes.
    bytes[4 + (24 + 19) + 24 + 2 + 5] ^= 0x01;
    const Expected<CMessageList> back = Decode(bytes, EDataFileForm::Protected);
    ASSERT_FALSE(back.ok());
    EXPECT_NE(back.reason().find(u"message 2 cannot be decrypted"), std::u16string::npos);

    // A protector that refuses everything (another user's key) fails the file as well.
    const std::vector<std::uint8_t> whole = Encode(ListOf({Item(u"x")}), EDataFileForm::Protected);
    m_protector.m_bFailUnprotect = true;
    EXPECT_FALSE(Decode(whole, EDataFileForm::Protected).ok());
}

TEST_F(DataFileCodec, EveryTruncationPointAndTheOtherFormAreRefused) {
    const CMessageList list = ListOf({Item(u"Hi", 1, 500, true), Item(u""), Item(u"third", 0, 7)});
    for (const EDataFileForm form : kBothForms) {
        const std::vector<std::uint8_t> bytes = Encode(list, form);
        for (std::size_t cut = 0; cut < bytes.size(); ++cut) {
            const Expected<CMessageList> back = Decode({bytes.data(), cut}, form);
            EXPECT_FALSE(back.ok()) << "cut at " << cut << " of " << bytes.size();
            EXPECT_FALSE(back.reason().empty());
        }
        // A file renamed from one form's extension to the other's.
        const EDataFileForm other = kBothForms[form == EDataFileForm::Plain ? 1 : 0];
        EXPECT_FALSE(Decode(bytes, other).ok());
    }
}

TEST_F(DataFileCodec, GarbledCountsAreRefusedWithoutAllocatingForThem) {
    auto withCount = [this](std::initializer_list<int> count) {
        std::vector<std::uint8_t> bytes = Encode(ListOf({Item(u"Hi")}), EDataFileForm::Plain);
        const std::vector<std::uint8_t> countBytes = Bytes(count);
        std::copy(countBytes.begin(), countBytes.end(), bytes.begin());
        return bytes;
    };
    // One record whose sealed text claims 4 GB in the 6-byte count form, in a 40-byte file.
    std::vector<std::uint8_t> absurd = OneRecord(Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
    absurd.resize(40, 0);
    const struct {
        std::vector<std::uint8_t> bytes;
        EDataFileForm form;
        const char16_t* reason;
    } cases[] = {
        {withCount({0xFF, 0xFF, 0xFF, 0xFF}), EDataFileForm::Plain, u"negative number"},
        {withCount({0xFF, 0xFF, 0xFF, 0x7F}), EDataFileForm::Plain, u"says it holds 2147483647"},
        {withCount({2, 0, 0, 0}), EDataFileForm::Plain, u"holds 2 messages"},
        {absurd, EDataFileForm::Protected, u"ends inside message 1 of 1"},
    };
    for (const auto& c : cases) {
        const Expected<CMessageList> back = Decode(c.bytes, c.form);
        ASSERT_FALSE(back.ok()) << Utf8FromUtf16(c.reason);
        EXPECT_NE(back.reason().find(c.reason), std::u16string::npos)
            << Utf8FromUtf16(back.reason());
    }
}

TEST_F(DataFileCodec, AFileSavedAgainByATextEditorStillOpens) {
    // Bytes after the last record are ignored, in either form.
    const CMessageList list = ListOf({Item(u"Hi", 1, 5), Item(u"there")});
    for (const EDataFileForm form : kBothForms) {
        std::vector<std::uint8_t> bytes = Encode(list, form);
        for (const int extra : {0x0D, 0x0A, 0x00, 0xFF}) {
            bytes.push_back(static_cast<std::uint8_t>(extra));
            const Expected<CMessageList> back = Decode(bytes, form);
            ASSERT_TRUE(back.ok()) << Utf8FromUtf16(back.reason());
            EXPECT_EQ(ItemsOf(back.value()), ItemsOf(list));
        }
    }
    // A text ending in LF alone or in CR LF is one line; CR and another unit keep that unit.
    for (const auto& [text, expected] : {std::pair{Bytes({'a', 0, 0x0A, 0}), u"a"},
                                         {Bytes({'a', 0, 0x0D, 0, 0x0A, 0}), u"a"},
                                         {Bytes({'a', 0, 0x0D, 0, 'b', 0}), u"ab"},
                                         {Bytes({0x0D, 0, 0x0A, 0}), u""}}) {
        const Expected<CMessageList> back = Decode(OneRecord(text), EDataFileForm::Plain);
        ASSERT_TRUE(back.ok()) << Utf8FromUtf16(back.reason());
        EXPECT_EQ(back.value().GetMessageText(0), expected);
    }
}

TEST(DataFilePath, ExtensionWarningAndFormOfAPath) {
    constexpr EDataFileForm kPlain = EDataFileForm::Plain;
    constexpr EDataFileForm kProtected = EDataFileForm::Protected;
    // The extension is from the last dot of the last component; the reading warning looks at the
    // extension only, with case; the form is chosen by the case-sensitive marker anywhere.
    const struct {
        const char* path;
        const char* extension;
        bool warns;
        EDataFileForm form;
    } cases[] = {
        {"/home/u/list.quenbydata", ".quenbydata", false, kPlain},
        {"/home/u/a.quenbydata.quenbydata", ".quenbydata", false, kPlain},
        {"/home/u.d/noext", "", false, kPlain},
        {"/home/u/name.with space", "", false, kPlain},  // a blank after the dot cancels it
        {"/home/u/trailing.", ".", false, kPlain},
        {"", "", false, kPlain},
        {"/home/u/list.quenbyencrypteddata", ".quenbyencrypteddata", true, kProtected},
        {"/home/u/list.QUENBYENCRYPTEDDATA", ".QUENBYENCRYPTEDDATA", false, kPlain},
        {"/home/u/x.encrypted", ".encrypted", true, kPlain},
        {"/home/encrypted/list.quenbydata", ".quenbydata", false, kPlain},
        {"/home/u/list.quenbyencrypteddata.bak", ".bak", false, kProtected},
        {"/data.quenbyencrypteddata/list.quenbydata", ".quenbydata", false, kProtected},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(std::filesystem::path(FindExtension(c.path)).string(), c.extension) << c.path;
        EXPECT_EQ(ExtensionWarnsOfEncryption(c.path), c.warns) << c.path;
        EXPECT_EQ(DataFileFormFor(c.path), c.form) << c.path;
    }
}

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

// The UTF-16LE reader reads the bytes widened to UTF-16LE units when `widened`, else as they are;
// then an empty expectation is not checked.
struct Case {
    std::vector<std::uint8_t> bytes;
    Lines simple;   // the 8-bit reader
    Lines unicode;  // the UTF-16LE reader
    bool widened = false;
};

TEST(TextImport, LineRulesEncodingsAndByteOrderMarksOfBothReaders) {
    const Case cases[] = {
        {Bytes({'a', 0x0D, 0x0A, 0x0D, 0x0A, 'b'}), {u"a", u"", u"b"}, {u"a", u"", u"b"}, true},
        {Bytes({'a', 0x0A}), {u"a"}, {u"a"}, true},  // a final break adds no line
        {Bytes({'a', 0x0D, 0x0A}), {u"a"}, {u"a"}, true},
        {Bytes({}), {}, {}, true},
        {Bytes({0x0A}), {u""}, {u""}, true},
        {Bytes({0x0A, 0x0A}), {u"", u""}, {u"", u""}, true},
        // A lone CR stays in 8-bit text; in UTF-16 it ends the line and takes the next unit.
        {Bytes({'a', 0x0D, 'b', 0x0A, 'c'}), {u"a\rb", u"c"}, {u"ab", u"", u"c"}, true},
        {Bytes({'a', 0x0D}), {u"a\r"}, {u"a"}, true},
        {Bytes({'x', 'y'}), {u"xy"}, {u"xy"}, true},
        {Bytes({'c', 'a', 'f', 0xC3, 0xA9, 0x0A, 0xF0, 0x9F, 0x98, 0x80}),
         {u"caf\u00e9", u"\U0001F600"},
         {}},
        // Only the line that is not UTF-8 is read byte by byte: nothing is lost either way, and
        // overlong and surrogate forms are not UTF-8.
        {Bytes({0xE9, 't', 0xE9, 0x0A, 0xC3, 0xA9}), {u"\u00e9t\u00e9", u"\u00e9"}, {}},
        {Bytes({0xC0, 0xAF, 0x0A, 0xED, 0xA0, 0x80}), {u"\u00c0\u00af", u"\u00ed\u00a0\u0080"}, {}},
        {Bytes({'a', 0xE2, 0x82}), {u"a\u00e2\u0082"}, {}},
        {Bytes({'a', 0x0A, 'b', 0x1A, 'c', 0x0A, 'd'}), {u"a", u"b"}, {}},  // 0x1A ends the file
        {Bytes({0xEF, 0xBB, 0xBF, 'a'}), {u"a"}, {}},  // the UTF-8 mark is dropped
        // A UTF-16 mark makes both read UTF-16; a final odd byte is no unit.
        {Bytes({0xFF, 0xFE, 'a', 0, 0x0A, 0, 0x3D, 0xD8, 0x00, 0xDE}),
         {u"a", u"\U0001F600"},
         {u"a", u"\U0001F600"}},
        {Bytes({'a', 0, 0x0A, 0, 'b'}), {}, {u"a"}},
    };
    for (const Case& c : cases) {
        if (c.widened || !c.simple.empty()) {
            EXPECT_EQ(ReadSimpleTextLines(c.bytes), c.simple) << (&c - cases);
        }
        if (c.widened || !c.unicode.empty()) {
            EXPECT_EQ(ReadUnicodeTextLines(c.widened ? Wide(c.bytes) : c.bytes), c.unicode)
                << (&c - cases);
        }
    }
}

}  // namespace
}  // namespace quenby
