// The data file reader on any bytes, in both forms, with a protector that opens or refuses.
// Every input must either load whole or be refused with a reason; what loads must save and load
// again to the same list (or be refused for a line break the plain form cannot hold).
#include <cstdint>
#include <cstdlib>
#include <span>

#include "platform/DataProtector.h"
#include "storage/DataFileCodec.h"

namespace {

// "Sealing" is the identity; a sealed block starting with 0xFF is refused, like a foreign one.
class CIdentityProtector final : public quenby::IDataProtector {
public:
    quenby::Expected<std::vector<std::uint8_t>> Protect(
        std::span<const std::uint8_t> plain) override {
        return std::vector<std::uint8_t>(plain.begin(), plain.end());
    }
    quenby::Expected<std::vector<std::uint8_t>> Unprotect(
        std::span<const std::uint8_t> sealed) override {
        if (!sealed.empty() && sealed[0] == 0xFF) {
            return quenby::Status::Fail(u"foreign");
        }
        return std::vector<std::uint8_t>(sealed.begin(), sealed.end());
    }
    std::u16string DescribeKeyStore() const override { return u"fuzz"; }
};

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const quenby::EDataFileForm form =
        (data[0] & 1) != 0 ? quenby::EDataFileForm::Protected : quenby::EDataFileForm::Plain;
    const std::span<const std::uint8_t> file(data + 1, size - 1);
    CIdentityProtector protector;
    quenby::Expected<quenby::CMessageList> list = quenby::DecodeDataFile(file, form, &protector);
    if (!list.ok()) {
        Check(!list.reason().empty());
        return 0;
    }
    quenby::Expected<std::vector<std::uint8_t>> saved =
        quenby::EncodeDataFile(list.value(), form, &protector);
    if (!saved.ok()) {
        Check(form == quenby::EDataFileForm::Plain &&
              saved.reason().find(u"line break") != std::u16string::npos);
        return 0;
    }
    quenby::Expected<quenby::CMessageList> again =
        quenby::DecodeDataFile(saved.value(), form, &protector);
    Check(again.ok());
    Check(again.value().GetItemCount() == list.value().GetItemCount());
    for (std::size_t row = 0; row < list.value().GetItemCount(); ++row) {
        Check(again.value().GetMessageItem(row) == list.value().GetMessageItem(row));
    }
    return 0;
}
