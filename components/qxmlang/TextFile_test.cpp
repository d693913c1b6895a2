#include "TextFile.h"

#include <gtest/gtest.h>

#include "config/TestScratch.h"

namespace {
// The full path of a new file in the folder holding these bytes; empty when it could not be written.
std::wstring Written(const config_testing::ScratchFolder& folder, const std::wstring& name, const std::string& bytes) {
    const std::wstring path = folder / name;
    return config_testing::WriteBytes(path, bytes) ? path : std::wstring();
}
const std::string kUtf8Text = "a=\xE5\xAE\x89\xE8\xA3\x9D";  // "a=" and two CJK characters
const std::wstring kWideText = L"a=\u5B89\u88DD";
}  // namespace

TEST(TextFile, DecodesUtf8WithOrWithoutBomAndUtf16WithBomInEitherByteOrder) {
    std::wstring out;
    ASSERT_EQ(DecodeText(kUtf8Text, out), 1);
    EXPECT_EQ(out, kWideText);
    ASSERT_EQ(DecodeText("\xEF\xBB\xBF" + kUtf8Text, out), 1);
    EXPECT_EQ(out, kWideText) << "the BOM is not part of the text";
    ASSERT_EQ(DecodeText(std::string("\xFF\xFE" "a\0=\0\x89\x5B\xDD\x88", 10), out), 1);
    EXPECT_EQ(out, kWideText);
    ASSERT_EQ(DecodeText(std::string("\xFE\xFF\0a\0=\x5B\x89\x88\xDD", 10), out), 1);
    EXPECT_EQ(out, kWideText);
    ASSERT_EQ(DecodeText("", out), 1);
    EXPECT_EQ(out, L"");
}

TEST(TextFile, RefusesDamagedTextInsteadOfGuessing) {
    std::wstring out = L"unchanged";
    EXPECT_EQ(DecodeText("1=\xE5\xAE", out), 0) << "a cut UTF-8 sequence";
    EXPECT_EQ(DecodeText("1=\xC0\xAF", out), 0) << "an overlong UTF-8 form";
    EXPECT_EQ(DecodeText(std::string("\xFF\xFE" "a\0b", 5), out), 0) << "odd UTF-16 byte count";
    EXPECT_EQ(DecodeText(std::string("\xFF\xFE\x00\xD8" "a\0", 6), out), 0) << "unpaired surrogate";
    EXPECT_EQ(out, L"unchanged");
}

TEST(TextFile, ReadsWholeFilesAndTellsWhyOthersAreRefused) {
    config_testing::ScratchFolder folder;
    std::wstring out;
    EXPECT_EQ(ReadTextFile(Written(folder, L"ok.txt", "\xEF\xBB\xBF" + kUtf8Text), out), TextFileStatus::Read);
    EXPECT_EQ(out, kWideText);
    EXPECT_EQ(ReadTextFile(folder / L"absent.txt", out), TextFileStatus::Missing);
    EXPECT_EQ(ReadTextFile(folder / L"no-such-dir\\absent.txt", out), TextFileStatus::Missing);
    EXPECT_EQ(ReadTextFile(Written(folder, L"bad.txt", "\xFF\xFE\x41"), out), TextFileStatus::BadEncoding);
    EXPECT_EQ(ReadTextFile(Written(folder, L"big.txt", std::string(kMaxTextFileBytes + 1, 'a')), out),
              TextFileStatus::TooLarge);
    EXPECT_EQ(ReadTextFile(Written(folder, L"limit.txt", std::string(kMaxTextFileBytes, 'a')), out),
              TextFileStatus::Read);
    EXPECT_EQ(out.size(), kMaxTextFileBytes);
}
