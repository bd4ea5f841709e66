#include "storage/DataFileCodec.h"

#include <algorithm>
#include <climits>
#include <string>

#include "engine/WideText.h"
#include "platform/DataProtector.h"
#include "storage/Utf16Lines.h"

namespace quenby {
namespace {

// Six 32-bit numbers before every text.
constexpr std::size_t kNumbersSize = 24;
// The smallest text field: CR LF in the plain form, a 2-byte count in the protected form.
constexpr std::size_t kMinPlainTextSize = 4;
constexpr std::size_t kMinProtectedTextSize = 2;
// Counts from this value on take the 6-byte form: FF FF and a 32-bit count.
constexpr std::uint32_t kLongCountMarker = 0xFFFF;

class CByteWriter {
public:
    explicit CByteWriter(std::size_t reserve) { m_bytes.reserve(reserve); }

    void PutU16(std::uint16_t value) {
        m_bytes.push_back(static_cast<std::uint8_t>(value));
        m_bytes.push_back(static_cast<std::uint8_t>(value >> 8));
    }
    void PutU32(std::uint32_t value) {
        for (int shift = 0; shift < 32; shift += 8) {
            m_bytes.push_back(static_cast<std::uint8_t>(value >> shift));
        }
    }
    void PutI32(std::int32_t value) { PutU32(static_cast<std::uint32_t>(value)); }
    void PutUnits(std::u16string_view units) {
        for (char16_t unit : units) {
            PutU16(unit);
        }
    }
    void PutBytes(std::span<const std::uint8_t> bytes) {
        m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
    }
    std::vector<std::uint8_t> Take() { return std::move(m_bytes); }

private:
    std::vector<std::uint8_t> m_bytes;
};

class CByteReader {
public:
    explicit CByteReader(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}

    std::size_t Remaining() const { return m_bytes.size() - m_offset; }
    std::size_t& Offset() { return m_offset; }
    std::span<const std::uint8_t> Bytes() const { return m_bytes; }

    bool GetU16(std::uint16_t& value) {
        if (Remaining() < 2) {
            return false;
        }
        value = static_cast<std::uint16_t>(m_bytes[m_offset] | (m_bytes[m_offset + 1] << 8));
        m_offset += 2;
        return true;
    }
    bool GetU32(std::uint32_t& value) {
        if (Remaining() < 4) {
            return false;
        }
        value = 0;
        for (int i = 3; i >= 0; --i) {
            value = (value << 8) | m_bytes[m_offset + static_cast<std::size_t>(i)];
        }
        m_offset += 4;
        return true;
    }
    bool GetI32(std::int32_t& value) {
        std::uint32_t raw = 0;
        if (!GetU32(raw)) {
            return false;
        }
        value = static_cast<std::int32_t>(raw);
        return true;
    }
    bool GetSpan(std::size_t count, std::span<const std::uint8_t>& out) {
        if (Remaining() < count) {
            return false;
        }
        out = m_bytes.subspan(m_offset, count);
        m_offset += count;
        return true;
    }

private:
    std::span<const std::uint8_t> m_bytes;
    std::size_t m_offset = 0;
};

std::u16string MessageNumber(std::size_t index) {
    return FormatUnsigned(index + 1);
}

Status NoProtector() {
    return Status::Fail(
        u"No data protection is available on this computer, so a partly encrypted data file "
        u"cannot be used.");
}

Status ProtectText(CByteWriter& writer, IDataProtector& protector, std::u16string_view text,
                   std::size_t index) {
    // The protected block is the text's code units and one zero unit.
    std::vector<std::uint8_t> block;
    block.reserve(2 * text.size() + 2);
    for (char16_t unit : text) {
        block.push_back(static_cast<std::uint8_t>(unit));
        block.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    block.push_back(0);
    block.push_back(0);
    Expected<std::vector<std::uint8_t>> sealed = protector.Protect(block);
    if (!sealed.ok()) {
        return Status::Fail(u"The text of message " + MessageNumber(index) +
                            u" could not be encrypted: " + sealed.reason());
    }
    const std::vector<std::uint8_t>& bytes = sealed.value();
    if (bytes.size() > UINT32_MAX) {
        return Status::Fail(u"The text of message " + MessageNumber(index) +
                            u" is too long to be stored.");
    }
    const auto count = static_cast<std::uint32_t>(bytes.size());
    if (count < kLongCountMarker) {
        writer.PutU16(static_cast<std::uint16_t>(count));
    } else {
        writer.PutU16(static_cast<std::uint16_t>(kLongCountMarker));
        writer.PutU32(count);
    }
    writer.PutBytes(bytes);
    return Status::Ok();
}

// Why the file cannot be read because it stops inside record `index` of `count`.
Status EndsInside(std::size_t index, std::int32_t count) {
    return Status::Fail(u"The file ends inside message " + MessageNumber(index) + u" of " +
                        FormatSigned(count) + u": it is incomplete or damaged.");
}

Expected<std::u16string> UnprotectText(CByteReader& reader, IDataProtector& protector,
                                       std::size_t index, std::int32_t count) {
    std::uint16_t shortCount = 0;
    if (!reader.GetU16(shortCount)) {
        return EndsInside(index, count);
    }
    std::uint32_t byteCount = shortCount;
    if (shortCount == kLongCountMarker && !reader.GetU32(byteCount)) {
        return EndsInside(index, count);
    }
    std::span<const std::uint8_t> sealed;
    if (!reader.GetSpan(byteCount, sealed)) {
        return EndsInside(index, count);
    }
    Expected<std::vector<std::uint8_t>> plain = protector.Unprotect(sealed);
    if (!plain.ok()) {
        return Status::Fail(u"The text of message " + MessageNumber(index) +
                            u" cannot be decrypted: " + plain.reason());
    }
    const std::vector<std::uint8_t>& block = plain.value();
    std::u16string text(block.size() / 2, u'\0');
    for (std::size_t i = 0; i < text.size(); ++i) {
        text[i] = static_cast<char16_t>(block[2 * i] | (block[2 * i + 1] << 8));
    }
    // Only the terminator the writer added is dropped, so a text holding NUL comes back whole.
    if (!text.empty() && text.back() == u'\0') {
        text.pop_back();
    }
    return text;
}

}  // namespace

Expected<std::vector<std::uint8_t>> EncodeDataFile(const CMessageList& list, EDataFileForm form,
                                                   IDataProtector* protector) {
    const std::size_t rows = list.GetItemCount();
    if (rows > static_cast<std::size_t>(INT32_MAX)) {
        return Status::Fail(u"The list holds more messages than a data file can count.");
    }
    if (form == EDataFileForm::Protected && protector == nullptr) {
        return NoProtector();
    }
    std::size_t estimate = 4;
    for (std::size_t row = 0; row < rows; ++row) {
        estimate += kNumbersSize + kMinPlainTextSize + 2 * list.GetMessageText(row).size();
    }
    CByteWriter writer(estimate);
    writer.PutI32(static_cast<std::int32_t>(rows));
    for (std::size_t row = 0; row < rows; ++row) {
        std::int32_t seconds = 0;
        std::int32_t milliSeconds = 0;
        bool enterBefore = false;
        bool enterAfter = false;
        list.GetMessageDelay(row, seconds, milliSeconds);
        list.GetMessageEnterFlags(row, enterBefore, enterAfter);
        writer.PutI32(seconds);
        writer.PutI32(milliSeconds);
        writer.PutI32(enterBefore ? 1 : 0);
        writer.PutI32(enterAfter ? 1 : 0);
        writer.PutI32(list.GetCharDelayMinCell(row));
        writer.PutI32(list.GetCharDelayMaxCell(row));
        const std::u16string& text = list.GetMessageText(row);
        if (form == EDataFileForm::Protected) {
            if (Status status = ProtectText(writer, *protector, text, row); !status.ok()) {
                return status;
            }
        } else {
            if (text.find_first_of(u"\r\n") != std::u16string::npos) {
                return Status::Fail(
                    u"Message " + MessageNumber(row) +
                    u" contains a line break, which a plain data file cannot hold. Remove the "
                    u"line break, or save the list as a partly encrypted file "
                    u"(.quenbyencrypteddata), which can hold it.");
            }
            writer.PutUnits(text);
            writer.PutUnits(u"\r\n");
        }
    }
    return writer.Take();
}

Expected<CMessageList> DecodeDataFile(std::span<const std::uint8_t> bytes, EDataFileForm form,
                                      IDataProtector* protector) {
    CByteReader reader(bytes);
    std::int32_t count = 0;
    if (!reader.GetI32(count)) {
        return Status::Fail(
            u"The file is too short to be a data file: it ends inside the count "
            u"of its messages.");
    }
    if (count < 0) {
        return Status::Fail(u"The file is damaged: it gives a negative number of messages (" +
                            FormatSigned(count) + u").");
    }
    if (form == EDataFileForm::Protected && protector == nullptr && count > 0) {
        return NoProtector();
    }
    const std::size_t smallestRecord =
        kNumbersSize +
        (form == EDataFileForm::Protected ? kMinProtectedTextSize : kMinPlainTextSize);
    const auto records = static_cast<std::size_t>(count);
    if (records > reader.Remaining() / smallestRecord) {
        return Status::Fail(u"The file is damaged or incomplete: it says it holds " +
                            FormatSigned(count) + u" messages, but it is only " +
                            FormatUnsigned(bytes.size()) + u" bytes long.");
    }
    CMessageList list;
    list.Reserve(records);
    for (std::size_t index = 0; index < records; ++index) {
        MessageItem item;
        std::int32_t enterBefore = 0;
        std::int32_t enterAfter = 0;
        std::int32_t charDelayMin = 0;
        std::int32_t charDelayMax = 0;
        if (!reader.GetI32(item.m_iSeconds) || !reader.GetI32(item.m_iMilliSeconds) ||
            !reader.GetI32(enterBefore) || !reader.GetI32(enterAfter) ||
            !reader.GetI32(charDelayMin) || !reader.GetI32(charDelayMax)) {
            return EndsInside(index, count);
        }
        item.m_bEnterBefore = enterBefore != 0;
        item.m_bEnterAfter = enterAfter != 0;
        item.m_uCharDelayMin = static_cast<std::uint32_t>(charDelayMin);
        item.m_uCharDelayMax = static_cast<std::uint32_t>(charDelayMax);
        if (form == EDataFileForm::Protected) {
            Expected<std::u16string> text = UnprotectText(reader, *protector, index, count);
            if (!text.ok()) {
                return text.status();
            }
            item.m_strText = std::move(text).value();
        } else {
            Utf16Line line = ReadUtf16Line(reader.Bytes(), reader.Offset());
            // Every text the program writes ends with CR LF: one that does not was cut short.
            if (line.m_end != ELineEnd::LineBreak) {
                return EndsInside(index, count);
            }
            item.m_strText = std::move(line.m_strText);
        }
        list.AddMessageItem(static_cast<std::int32_t>(index), item);
    }
    // Bytes after the last record are not part of the list: a plain file saved again by a text
    // editor gains a final line break there, and such files have always opened.
    return list;
}

}  // namespace quenby
