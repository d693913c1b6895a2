#include "config/PackagePin.h"

#include <gtest/gtest.h>

TEST(PackagePin, OnlyExactlySixtyFourHexDigitsInEitherCasePin) {
    const std::wstring digits = L"00112233445566778899aabbccddeeffAABBCCDDEEFF00112233445566778899";
    const struct {
        std::wstring value;
        PinState state;
    } cases[] = {
        {L"ERR", PinState::Absent},
        {digits, PinState::Valid},
        {L"", PinState::Malformed},
        {digits.substr(1), PinState::Malformed},
        {digits + L"0", PinState::Malformed},
        {L"g" + digits.substr(1), PinState::Malformed},
        {digits.substr(0, 63) + L" ", PinState::Malformed},
        {L"err", PinState::Malformed},
    };
    for (const auto& c : cases) EXPECT_EQ(ParsePackagePin(c.value).state, c.state) << c.value.size();
    const PackagePin pin = ParsePackagePin(digits);
    EXPECT_EQ(pin.digest[0], 0x00);
    EXPECT_EQ(pin.digest[5], 0x55);
    EXPECT_EQ(pin.digest[10], 0xaa);
    EXPECT_EQ(pin.digest[20], 0xee);
    EXPECT_EQ(pin.digest[31], 0x99);
}
