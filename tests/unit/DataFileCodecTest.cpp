#include <gtest/gtest.h>

#include <random>

#include "engine/WideText.h"
#include "fakes/FakeDataProtector.h"
#include "storage/DataFileCodec.h"
#include "support/ListBuilders.h"

namespace quenby {
namespace {

using test::Bytes;
using test::Item;
using test::ItemsOf;
using test::ListOf;

std::vector<std::uint8_t> Encode(const CMessageList& list, EDataFileForm form,
                                 IDataProtector* protector = nullptr) {
    Expected<std::vector<std::uint8_t>> bytes = EncodeDataFile(list, form, protector);
    EXPECT_TRUE(bytes.ok()) << Utf8FromUtf16(bytes.reason());
    return bytes.ok() ? bytes.value() : std::vector<std::uint8_t>{};
}

TEST(DataFileCodec, TheExampleRecordByteForByte) {
    const CMessageList list = ListOf({Item(u"Hi", 1, 500, true, false, 20, 60)});
    EXPECT_EQ(
        Encode(list, EDataFileForm::Plain),
        Bytes({0x01, 0, 0, 0, 0x01, 0, 0, 0, 0xF4, 0x01, 0,    0, 0x01, 0, 0,    0, 0, 0, 0, 0,
               0x14, 0, 0, 0, 0x3C, 0, 0, 0, 0x48, 0,    0x69, 0, 0x0D, 0, 0x0A, 0}));
}

TEST(DataFileCodec, TheProtectedFormKeepsTheNumbersAndCountsTheSealedText) {
    test::CFakeDataProtector protector;
    const CMessageList list = ListOf({Item(u"Hi", 1, 500, true, false, 20, 60)});
    const std::vector<std::uint8_t> plain = Encode(list, EDataFileForm::Plain);
    const std::vector<std::uint8_t> sealed = Encode(list, EDataFileForm::Protected, &protector);
    ASSERT_GE(sealed.size(), 30u);
    EXPECT_TRUE(std::equal(plain.begin(), plain.begin() + 28, sealed.begin()));
    // "Hi" and a zero unit is 6 bytes; the fake adds a 4-byte tag and a 4-byte checksum.
    EXPECT_EQ(sealed[28] | (sealed[29] << 8), 14);
    EXPECT_EQ(sealed.size(), 30u + 14u);  // nothing after the sealed bytes: no CR LF
    const Expected<CMessageList> back =
        DecodeDataFile(sealed, EDataFileForm::Protected, &protector);
    ASSERT_TRUE(back.ok()) << Utf8FromUtf16(back.reason());
    EXPECT_EQ(back.value().GetMessageText(0), u"Hi");
}

TEST(DataFileCodec, AnEmptyListIsFourZeroBytesInBothForms) {
    test::CFakeDataProtector protector;
    for (EDataFileForm form : {EDataFileForm::Plain, EDataFileForm::Protected}) {
        const std::vector<std::uint8_t> bytes = Encode(CMessageList{}, form, &protector);
        EXPECT_EQ(bytes, Bytes({0, 0, 0, 0}));
        const Expected<CMessageList> back = DecodeDataFile(bytes, form, &protector);
        ASSERT_TRUE(back.ok());
        EXPECT_EQ(back.value().GetItemCount(), 0u);
    }
}

TEST(DataFileCodec, DelayIsWrittenNormalisedAndPcSaturated) {
    const CMessageList list = ListOf({Item(u"", 0, 1500, false, true, 4294967295u, 2147483648u)});
    const std::vector<std::uint8_t> bytes = Encode(list, EDataFileForm::Plain);
    EXPECT_EQ(bytes, Bytes({1,    0,    0,    0,    1,    0,    0,    0, 0xF4, 1,    0,
                            0,    0,    0,    0,    0,    1,    0,    0, 0,    0xFF, 0xFF,
                            0xFF, 0x7F, 0xFF, 0xFF, 0xFF, 0x7F, 0x0D, 0, 0x0A, 0}));
    const Expected<CMessageList> back = DecodeDataFile(bytes, EDataFileForm::Plain, nullptr);
    ASSERT_TRUE(back.ok());
    EXPECT_EQ(back.value().GetMessageItem(0),
              Item(u"", 1, 500, false, true, 2147483647u, 2147483647u));
}

TEST(DataFileCodec, LongSealedTextsTakeTheSixByteCount) {
    test::CFakeDataProtector protector;
    // Sealed size = 2 * units + 2 (terminator) + 8 (fake overhead).
    const struct {
        std::size_t units;
        std::size_t countBytes;
    } cases[] = {{32762, 2}, {32763, 6}, {40000, 6}};  // 65534 and 65536 sealed bytes
    for (const auto& c : cases) {
        const CMessageList list = ListOf({Item(std::u16string(c.units, u'z'))});
        const std::vector<std::uint8_t> bytes = Encode(list, EDataFileForm::Protected, &protector);
        const std::size_t sealedSize = 2 * c.units + 10;
        ASSERT_EQ(bytes.size(), 4 + 24 + c.countBytes + sealedSize) << c.units;
        if (c.countBytes == 6) {
            EXPECT_EQ(bytes[28], 0xFF);
            EXPECT_EQ(bytes[29], 0xFF);
            const std::uint32_t count = static_cast<std::uint32_t>(
                bytes[30] | (bytes[31] << 8) | (bytes[32] << 16) | (bytes[33] << 24));
            EXPECT_EQ(count, sealedSize);
        }
        const Expected<CMessageList> back =
            DecodeDataFile(bytes, EDataFileForm::Protected, &protector);
        ASSERT_TRUE(back.ok()) << Utf8FromUtf16(back.reason());
        EXPECT_EQ(back.value().GetMessageText(0).size(), c.units);
    }
}

TEST(DataFileCodec, RandomListsRoundTripInBothForms) {
    test::CFakeDataProtector protector;
    std::mt19937 random(20261206);
    for (int round = 0; round < 60; ++round) {
        const bool protectedForm = round % 2 == 1;
        const std::vector<MessageItem> items =
            test::RandomItems(random, static_cast<std::size_t>(round * 3), protectedForm);
        const EDataFileForm form = protectedForm ? EDataFileForm::Protected : EDataFileForm::Plain;
        const std::vector<std::uint8_t> bytes = Encode(ListOf(items), form, &protector);
        const Expected<CMessageList> back = DecodeDataFile(bytes, form, &protector);
        ASSERT_TRUE(back.ok()) << "round " << round << ": " << Utf8FromUtf16(back.reason());
        EXPECT_EQ(ItemsOf(back.value()), items) << "round " << round;
    }
}

TEST(DataFileCodec, ProtectedTextsKeepLineBreaksAndNul) {
    test::CFakeDataProtector protector;
    const std::u16string texts[] = {u"two\r\nlines", std::u16string(u"nul\0inside", 10),
                                    std::u16string(1, u'\0'), u"\uFEFFbom", u""};
    for (const std::u16string& text : texts) {
        const std::vector<std::uint8_t> bytes =
            Encode(ListOf({Item(text)}), EDataFileForm::Protected, &protector);
        const Expected<CMessageList> back =
            DecodeDataFile(bytes, EDataFileForm::Protected, &protector);
        ASSERT_TRUE(back.ok());
        EXPECT_EQ(back.value().GetMessageText(0), text);
    }
}

TEST(DataFileCodec, APlainFileRefusesLineBreaksInsteadOfGarblingLaterRecords) {
    for (const std::u16string& text :
         {std::u16string(u"a\rb"), std::u16string(u"a\nb"), std::u16string(u"\r\n")}) {
        const CMessageList list = ListOf({Item(u"fine"), Item(text), Item(u"after")});
        const Expected<std::vector<std::uint8_t>> bytes =
            EncodeDataFile(list, EDataFileForm::Plain, nullptr);
        ASSERT_FALSE(bytes.ok());
        EXPECT_NE(bytes.reason().find(u"Message 2 contains a line break"), std::u16string::npos);
    }
}

TEST(DataFileCodec, AFailedProtectionProducesNoFile) {
    test::CFakeDataProtector protector;
    protector.m_bFailProtect = true;
    const Expected<std::vector<std::uint8_t>> bytes =
        EncodeDataFile(ListOf({Item(u"secret")}), EDataFileForm::Protected, &protector);
    ASSERT_FALSE(bytes.ok());
    EXPECT_NE(bytes.reason().find(u"could not be encrypted: the key store is locked"),
              std::u16string::npos);
    EXPECT_FALSE(EncodeDataFile(ListOf({Item(u"x")}), EDataFileForm::Protected, nullptr).ok());
}

TEST(DataFileCodec, ATextThatCannotBeUnprotectedFailsTheWholeFile) {
    test::CFakeDataProtector protector;
    std::vector<std::uint8_t> bytes = Encode(ListOf({Item(u"one"), Item(u"two"), Item(u"three")}),
                                             EDataFileForm::Protected, &protector);
    // Damage one byte of the second sealed text: a sealed text is 2 + 4 + 2*3+2 + 4 = 18 bytes.
    const std::size_t secondText = 4 + (24 + 18) + 24 + 2 + 4;
    bytes[secondText] ^= 0x01;
    const Expected<CMessageList> back = DecodeDataFile(bytes, EDataFileForm::Protected, &protector);
    ASSERT_FALSE(back.ok());
    EXPECT_NE(back.reason().find(u"message 2 cannot be decrypted"), std::u16string::npos);

    // A protector that refuses everything (another user's key) fails the file as well.
    const std::vector<std::uint8_t> whole =
        Encode(ListOf({Item(u"x")}), EDataFileForm::Protected, &protector);
    protector.m_bFailUnprotect = true;
    EXPECT_FALSE(DecodeDataFile(whole, EDataFileForm::Protected, &protector).ok());
}

// Every cut of a valid file is refused, in both forms.
TEST(DataFileCodec, EveryTruncationPointIsRefused) {
    test::CFakeDataProtector protector;
    for (EDataFileForm form : {EDataFileForm::Plain, EDataFileForm::Protected}) {
        const std::vector<MessageItem> items = {Item(u"Hi", 1, 500, true), Item(u""),
                                                Item(u"third one", 0, 7)};
        const std::vector<std::uint8_t> bytes = Encode(ListOf(items), form, &protector);
        for (std::size_t cut = 0; cut < bytes.size(); ++cut) {
            const std::span<const std::uint8_t> prefix(bytes.data(), cut);
            const Expected<CMessageList> back = DecodeDataFile(prefix, form, &protector);
            EXPECT_FALSE(back.ok()) << "cut at " << cut << " of " << bytes.size();
            EXPECT_FALSE(back.reason().empty());
        }
        EXPECT_TRUE(DecodeDataFile(bytes, form, &protector).ok());
    }
}

TEST(DataFileCodec, GarbledCountsAreRefusedWithoutAllocatingForThem) {
    const std::vector<std::uint8_t> one = Encode(ListOf({Item(u"Hi")}), EDataFileForm::Plain);
    struct Case {
        const char* what;
        std::vector<std::uint8_t> count;
        const char16_t* reason;
    };
    const Case cases[] = {
        {"negative", Bytes({0xFF, 0xFF, 0xFF, 0xFF}), u"negative number of messages"},
        {"huge", Bytes({0xFF, 0xFF, 0xFF, 0x7F}), u"says it holds 2147483647 messages"},
        {"one too many", Bytes({2, 0, 0, 0}), u"holds 2 messages"},
    };
    for (const Case& c : cases) {
        std::vector<std::uint8_t> bytes = one;
        std::copy(c.count.begin(), c.count.end(), bytes.begin());
        const Expected<CMessageList> back = DecodeDataFile(bytes, EDataFileForm::Plain, nullptr);
        ASSERT_FALSE(back.ok()) << c.what;
        EXPECT_NE(back.reason().find(c.reason), std::u16string::npos)
            << c.what << ": " << Utf8FromUtf16(back.reason());
    }
}

TEST(DataFileCodec, BytesAfterTheLastRecordAreIgnored) {
    const CMessageList list = ListOf({Item(u"Hi", 1, 5), Item(u"there")});
    for (const EDataFileForm form : {EDataFileForm::Plain, EDataFileForm::Protected}) {
        test::CFakeDataProtector protector;
        std::vector<std::uint8_t> bytes = Encode(list, form, &protector);
        for (const int extra : {0x0D, 0x0A, 0x00, 0xFF}) {
            bytes.push_back(static_cast<std::uint8_t>(extra));
            const Expected<CMessageList> back = DecodeDataFile(bytes, form, &protector);
            ASSERT_TRUE(back.ok()) << Utf8FromUtf16(back.reason());
            EXPECT_EQ(ItemsOf(back.value()), ItemsOf(list));
        }
    }
}

TEST(DataFileCodec, AnAbsurdSealedTextCountIsRefused) {
    test::CFakeDataProtector protector;
    // One record whose text claims 4 GB in the 6-byte count form, in a 40-byte file.
    std::vector<std::uint8_t> bytes = Bytes({1, 0, 0, 0});
    bytes.resize(28, 0);
    for (int b : {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}) {
        bytes.push_back(static_cast<std::uint8_t>(b));
    }
    bytes.resize(40, 0);
    const Expected<CMessageList> back = DecodeDataFile(bytes, EDataFileForm::Protected, &protector);
    ASSERT_FALSE(back.ok());
    EXPECT_NE(back.reason().find(u"ends inside message 1 of 1"), std::u16string::npos);
}

TEST(DataFileCodec, PlainReaderLineRules) {
    // A text edited to end in LF alone, or in CR + LF: both are read as one line.
    struct Case {
        std::vector<std::uint8_t> text;
        std::u16string expected;
    };
    const Case cases[] = {
        {Bytes({'a', 0, 0x0A, 0}), u"a"},
        {Bytes({'a', 0, 0x0D, 0, 0x0A, 0}), u"a"},
        // CR followed by another unit: the unit stays as the text's last character.
        {Bytes({'a', 0, 0x0D, 0, 'b', 0}), u"ab"},
        {Bytes({0x0D, 0, 0x0A, 0}), u""},
    };
    for (const Case& c : cases) {
        std::vector<std::uint8_t> bytes = Bytes({1, 0, 0, 0});
        bytes.resize(28, 0);
        bytes.insert(bytes.end(), c.text.begin(), c.text.end());
        const Expected<CMessageList> back = DecodeDataFile(bytes, EDataFileForm::Plain, nullptr);
        ASSERT_TRUE(back.ok()) << Utf8FromUtf16(back.reason());
        EXPECT_EQ(back.value().GetMessageText(0), c.expected);
    }
}

TEST(DataFileCodec, TheFormIsChosenByTheCaseSensitiveMarkerInTheWholePath) {
    struct Case {
        const char* path;
        EDataFileForm form;
    };
    const Case cases[] = {
        {"/home/u/list.quenbydata", EDataFileForm::Plain},
        {"/home/u/list.quenbyencrypteddata", EDataFileForm::Protected},
        {"/home/u/list.QUENBYENCRYPTEDDATA", EDataFileForm::Plain},
        {"/home/u/list.quenbyencrypteddata.quenbydata", EDataFileForm::Protected},
        {"/data.quenbyencrypteddata/list.quenbydata", EDataFileForm::Protected},
        {"/home/u/list.encrypted", EDataFileForm::Plain},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DataFileFormFor(c.path), c.form) << c.path;
    }
}

}  // namespace
}  // namespace quenby
