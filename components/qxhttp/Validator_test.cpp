#include <gtest/gtest.h>

#include "Validator.h"

TEST(ChooseValidator, PrefersAStrongEntityTagThenTheDate) {
    Validator v = ChooseValidator(L" \"5f1-abc\" ", L"Tue, 01 Aug 2023 10:00:00 GMT");
    EXPECT_EQ(v.kind, Validator::EntityTag);
    EXPECT_EQ(v.value, L"\"5f1-abc\"");

    v = ChooseValidator(L"W/\"5f1-abc\"", L"Tue, 01 Aug 2023 10:00:00 GMT");
    EXPECT_EQ(v.kind, Validator::LastModified) << "a weak tag never satisfies If-Range";
    EXPECT_EQ(v.value, L"Tue, 01 Aug 2023 10:00:00 GMT");

    EXPECT_EQ(ChooseValidator(L"unquoted", L"").kind, Validator::None);
    EXPECT_EQ(ChooseValidator(L"", L"  ").kind, Validator::None);

    const std::wstring huge = L"\"" + std::wstring(kMaxValidatorLength, L'a') + L"\"";
    EXPECT_EQ(ChooseValidator(huge, L"").kind, Validator::None) << "would not fit the state file";
}

TEST(StateText, SurvivesQuoteStrippingAndRoundTrips) {
    for (const std::wstring& value : {std::wstring(L"\"abc\""), std::wstring(L"W/\"x y\""), std::wstring(L""),
                                     std::wstring(L"Tue, 01 Aug 2023 10:00:00 GMT"), std::wstring(L"\x00e9\x4e2d")}) {
        const std::wstring encoded = EncodeStateText(value);
        EXPECT_EQ(encoded.find_first_not_of(L"0123456789abcdef"), std::wstring::npos) << encoded;
        std::wstring decoded = L"untouched";
        ASSERT_TRUE(DecodeStateText(encoded, decoded));
        EXPECT_EQ(decoded, value);
    }
    EXPECT_EQ(EncodeStateText(L"\"A\""), L"002200410022");
}

TEST(StateText, RefusesDamagedText) {
    std::wstring value = L"kept";
    for (const wchar_t* text : {L"002", L"00220041002g", L"\"0022\"", L"0022 "}) {
        EXPECT_FALSE(DecodeStateText(text, value)) << text;
    }
    EXPECT_EQ(value, L"kept");
}
