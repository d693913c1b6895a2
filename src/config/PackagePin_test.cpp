#include "config/PackagePin.h"

#include <gtest/gtest.h>

TEST(PackagePin, OnlyExactlySixtyFourHexDigitsInEitherCasePin) {
    const std::wstring digits = L"00112233445566778899aabbccddeeffAABBCCDDEEFF00112233445566778899";
    const std::pair<std::wstring, PinState> cases[] = {
        {L"ERR", PinState::Absent},          {digits, PinState::Valid},
        {digits.substr(1), PinState::Malformed}, {digits + L"0", PinState::Malformed},
        {L"g" + digits.substr(1), PinState::Malformed}, {digits.substr(0, 63) + L" ", PinState::Malformed},
        {L"err", PinState::Malformed},
    };
    for (const auto& [value, state] : cases) EXPECT_EQ(ParsePackagePin(value).state, state) << value.size();
    const PackagePin pin = ParsePackagePin(digits);
    EXPECT_EQ(pin.digest[10], 0xaa);
    EXPECT_EQ(pin.digest[20], 0xee);
    EXPECT_EQ(pin.digest[31], 0x99);
}
