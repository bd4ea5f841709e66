#include "win32/DpapiDataProtector.h"

// Wincrypt.h needs windows.h first.
// clang-format off
#include <windows.h>
#include <wincrypt.h>
// clang-format on

#include <limits>

#include "win32/Win32Text.h"

namespace quenby {
namespace {

// Hands the output block to a vector and frees it, whatever happens.
std::vector<std::uint8_t> TakeBlob(DATA_BLOB& blob) {
    std::vector<std::uint8_t> bytes(blob.pbData, blob.pbData + blob.cbData);
    ::LocalFree(blob.pbData);
    blob.pbData = nullptr;
    return bytes;
}

bool ToBlob(std::span<const std::uint8_t> bytes, DATA_BLOB& blob) {
    if (bytes.size() > std::numeric_limits<DWORD>::max()) {
        return false;
    }
    blob.cbData = static_cast<DWORD>(bytes.size());
    // The API takes a non-const pointer but does not write through it.
    blob.pbData = const_cast<BYTE*>(bytes.data());
    return true;
}

}  // namespace

Expected<std::vector<std::uint8_t>> CDpapiDataProtector::Protect(
    std::span<const std::uint8_t> plain) {
    DATA_BLOB in{};
    DATA_BLOB out{};
    if (!ToBlob(plain, in)) {
        return Status::Fail(u"the text is too long to be encrypted.");
    }
    if (!::CryptProtectData(&in, nullptr, nullptr, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN,
                            &out)) {
        return Status::Fail(ErrorText(::GetLastError()));
    }
    return TakeBlob(out);
}

Expected<std::vector<std::uint8_t>> CDpapiDataProtector::Unprotect(
    std::span<const std::uint8_t> sealed) {
    DATA_BLOB in{};
    DATA_BLOB out{};
    if (sealed.empty() || !ToBlob(sealed, in)) {
        return Status::Fail(u"the data is not encrypted text.");
    }
    if (!::CryptUnprotectData(&in, nullptr, nullptr, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN,
                              &out)) {
        return Status::Fail(ErrorText(::GetLastError()));
    }
    return TakeBlob(out);
}

std::u16string CDpapiDataProtector::DescribeKeyStore() const {
    return u"by Windows data protection, bound to your Windows user account";
}

}  // namespace quenby
