#include "config/PathHelper.h"

#include <gtest/gtest.h>

#include "config/TestScratch.h"

// Light checks of every helper, with one capacity row; the URL-facing names carry the weight.
TEST(PathHelper, NamesFoldersAndSixtyFourBitSizes) {
    CPathHelper h;
    const struct {
        std::wstring input, fileName, baseName;
    } names[] = {
        {L"C:\\dir/sub\\setup.exe", L"setup.exe", L"setup"},
        {L"ftp://host/pub/Setup.en.exe", L"Setup.en.exe", L"Setup.en"},
        {L"http://h/pub/Setup.exe?v=1.2", L"Setup.exe?v=1.2", L"Setup.exe?v=1"},
        {L"http://host/pub/", L"", L""},
        {L"setup.exe", L"", L""},  // no separator
        {L"/" + std::wstring(2048, L'a'), L"", L""},  // component beyond capacity
    };
    for (const auto& n : names) {
        EXPECT_EQ(h.GetFileName(n.input), n.fileName) << n.input.substr(0, 40);
        EXPECT_EQ(h.GetBaseName(n.input), n.baseName) << n.input.substr(0, 40);
    }
    const std::tuple<int (CPathHelper::*)(wchar_t*), std::wstring, std::wstring> inPlace[] = {
        {&CPathHelper::StripDirectory, L"C:\\dir\\setup.exe", L"1 setup.exe"},
        {&CPathHelper::StripDirectoryAndExtension, L"/a.b/noext", L"1 noext"},
        {&CPathHelper::StripFileName, L"C:\\setup.exe", L"1 C:"}};
    for (auto [op, text, expected] : inPlace) {
        const int result = (h.*op)(&(text += L'\0')[0]);
        EXPECT_EQ(std::to_wstring(result) + L" " + text.c_str(), expected);
    }
    std::string ansi;
    if (GetACP() != CP_UTF8) { EXPECT_EQ(h.WideToAnsiExact(L"a\U0001F600.exe", ansi), 0) << "no best fit"; }
    fennick_testing::ScratchFolder scratch;
    // A leading "\\?\" must survive, or the levels land elsewhere on the current drive.
    h.CreateDirectories(L"\\\\?\\" + scratch.Path() + L"\\a/b//c\\");
    EXPECT_EQ(h.PathExists(scratch / L"a\\b\\c"), 1);

    // 4 GiB + 5 bytes, sparse: the 32-bit query gives the low part, the 64-bit one all of it.
    const std::wstring big = scratch / L"big";
    const HANDLE file = CreateFileW(big.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    LARGE_INTEGER end;
    end.QuadPart = (1LL << 32) + 5;
    const bool extended = SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file);
    CloseHandle(file);
    ASSERT_TRUE(extended);
    unsigned long long size = 0;
    EXPECT_EQ(h.QueryFileSize(big), 5u);
    EXPECT_EQ(h.QueryFileSize64(big, size), 1);
    EXPECT_EQ(size, (1ULL << 32) + 5);
}
