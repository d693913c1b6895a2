#include "TextFile.h"

#include <gtest/gtest.h>


TEST(TextFile, DecodesUtf8AndUtf16ByTheirMarksAndRefusesDamage) {
    const std::wstring text = L"a=\u5B89\u88DD";
    const struct {
        std::string bytes;
        bool result;
    } cases[] = {
        {"a=\xE5\xAE\x89\xE8\xA3\x9D", 1},
        {"\xEF\xBB\xBF" "a=\xE5\xAE\x89\xE8\xA3\x9D", 1},
        {std::string("\xFF\xFE" "a\0=\0\x89\x5B\xDD\x88", 10), 1},
        {std::string("\xFE\xFF\0a\0=\x5B\x89\x88\xDD", 10), 1},
        {"1=\xE5\xAE", 0},                                 // cut UTF-8 sequence
        {"1=\xC0\xAF", 0},                                 // overlong UTF-8 form
        {std::string("\xFF\xFE" "a\0b", 5), 0},            // odd UTF-16 byte count
        {std::string("\xFF\xFE\x00\xD8" "a\0", 6), 0},     // unpaired surrogate
    };
    for (const auto& c : cases) {
        std::wstring out = L"unchanged";
        EXPECT_EQ(DecodeText(c.bytes, out), c.result) << c.bytes;
        EXPECT_EQ(out, c.result ? text : L"unchanged") << c.bytes;
    }
}
