#include <gtest/gtest.h>

#include "Validator.h"

TEST(ChooseValidator, PrefersAStrongEntityTagThenTheDate) {
    const std::wstring date = L"Tue, 01 Aug 2023 10:00:00 GMT";
    const std::wstring huge = L"\"" + std::wstring(kMaxValidatorLength, L'a') + L"\"";
    const struct {
        std::wstring etag, lastModified;
        Validator::Kind kind;
        std::wstring value;
    } cases[] = {
        {L" \"5f1-abc\" ", date, Validator::EntityTag, L"\"5f1-abc\""},
        {L"W/\"5f1-abc\"", date, Validator::LastModified, date},  // a weak tag never satisfies If-Range
        {huge, L"", Validator::None, L""},  // would not fit the state file
    };
    for (const auto& c : cases) {
        const Validator v = ChooseValidator(c.etag, c.lastModified);
        EXPECT_EQ(v.kind, c.kind) << c.etag.substr(0, 20);
        if (c.kind != Validator::None) { EXPECT_EQ(v.value, c.value); }
    }
}

// The INI reader drops quotes around a value: the state keeps tags as hex text.
TEST(StateText, SurvivesQuoteStrippingAndRefusesDamage) {
    for (const std::wstring& value : {std::wstring(L"\"abc\""), std::wstring(L"W/\"x y\""), std::wstring(L""),
                                     std::wstring(L"\x00e9\x4e2d")}) {
        const std::wstring encoded = EncodeStateText(value);
        EXPECT_EQ(encoded.find_first_not_of(L"0123456789abcdef"), std::wstring::npos) << encoded;
        std::wstring decoded;
        ASSERT_TRUE(DecodeStateText(encoded, decoded));
        EXPECT_EQ(decoded, value);
    }
    std::wstring value = L"kept";
    for (const wchar_t* text : {L"002", L"00220041002g", L"\"0022\"", L"0022 "})
        EXPECT_FALSE(DecodeStateText(text, value)) << text;
    EXPECT_EQ(value, L"kept");
}
