// Texts protected with DPAPI in the form partly encrypted data files have on Windows (the
// program tests read and write such files).
#include <gtest/gtest.h>

#include "support/Win32TestSupport.h"
#include "win32/DpapiDataProtector.h"

namespace quenby {
namespace {

std::vector<std::uint8_t> Bytes(std::size_t size) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<std::uint8_t>(i * 31 + 7);
    }
    return bytes;
}

TEST(Win32Dpapi, BlocksOfEverySizeComeBackAsTheyWere) {
    CDpapiDataProtector protector;
    for (std::size_t size : {std::size_t{2}, std::size_t{34}, std::size_t{70000}}) {
        const std::vector<std::uint8_t> plain = Bytes(size);
        Expected<std::vector<std::uint8_t>> sealed = protector.Protect(plain);
        ASSERT_TRUE(sealed.ok()) << size;
        Expected<std::vector<std::uint8_t>> opened = protector.Unprotect(sealed.value());
        ASSERT_TRUE(opened.ok()) << size << ": "
                                 << std::string(opened.reason().begin(), opened.reason().end());
        EXPECT_EQ(opened.value(), plain) << size;
    }
}

TEST(Win32Dpapi, TruncatedOrAlteredDataIsRefusedAndNeverGarbage) {
    CDpapiDataProtector protector;
    const std::vector<std::uint8_t> plain = Bytes(40);
    Expected<std::vector<std::uint8_t>> sealed = protector.Protect(plain);
    ASSERT_TRUE(sealed.ok());
    const std::vector<std::uint8_t>& good = sealed.value();

    EXPECT_FALSE(protector.Unprotect({}).ok());
    for (std::size_t length = 1; length < good.size(); length += 7) {
        EXPECT_FALSE(protector.Unprotect(std::span(good.data(), length)).ok()) << length;
    }
    // Each byte flipped in turn: never a different plain text.
    std::size_t accepted = 0;
    for (std::size_t i = 0; i < good.size(); ++i) {
        std::vector<std::uint8_t> altered = good;
        altered[i] ^= 0x5a;
        Expected<std::vector<std::uint8_t>> opened = protector.Unprotect(altered);
        if (opened.ok()) {
            EXPECT_EQ(opened.value(), plain) << "garbage from a flip at byte " << i;
            ++accepted;
        }
    }
    if (accepted > 0 && test::RunningUnderWine()) {
        GTEST_SKIP() << "Wine's DPAPI ignores flips in " << accepted
                     << " header bytes (it still never returns garbage); Windows refuses every "
                        "flip, which cannot be checked here";
    }
    EXPECT_EQ(accepted, 0u);
}

}  // namespace
}  // namespace quenby
