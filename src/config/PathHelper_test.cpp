#include "config/PathHelper.h"

#include <gtest/gtest.h>

#include "config/TestScratch.h"

using config_testing::ScratchFolder;
using config_testing::WriteBytes;

namespace {

// Runs an in-place operation on a terminated copy; returns its result and the new text.
template <typename Operation>
std::pair<int, std::wstring> InPlace(Operation operation, const std::wstring& text) {
    std::wstring buffer = text + L'\0';
    const int result = operation(&buffer[0]);
    return {result, std::wstring(buffer.c_str())};
}

}  // namespace

TEST(PathHelper, NamesOfPathsAndUrls) {
    CPathHelper helper;
    EXPECT_EQ(helper.GetFileName(L"C:\\dir\\setup.exe"), L"setup.exe");
    EXPECT_EQ(helper.GetFileName(L"/pub/setup.exe"), L"setup.exe");
    EXPECT_EQ(helper.GetFileName(L"C:\\dir/sub\\setup.exe"), L"setup.exe");
    EXPECT_EQ(helper.GetFileName(L"setup.exe"), L"");
    EXPECT_EQ(helper.GetFileName(L"C:\\dir\\"), L"");
    EXPECT_EQ(helper.GetBaseName(L"ftp://host/pub/Setup.en.exe"), L"Setup.en");
    EXPECT_EQ(helper.GetBaseName(L"ftp://host/pub/Setup"), L"Setup");
    EXPECT_EQ(helper.GetBaseName(L"/pub/.cfg"), L"");
    EXPECT_EQ(helper.GetBaseName(L"http://host/pub/"), L"");
    EXPECT_EQ(helper.GetBaseName(L"Setup.exe"), L"");
    EXPECT_EQ(helper.IntToString(-1), L"-1");
    EXPECT_EQ(helper.Int64ToString(-5000000000LL), L"-5000000000");
}

TEST(PathHelper, InPlaceOperations) {
    CPathHelper h;
    auto strip = [&](wchar_t* t) { return h.StripDirectory(t); };
    auto stripExt = [&](wchar_t* t) { return h.StripDirectoryAndExtension(t); };
    auto stripName = [&](wchar_t* t) { return h.StripFileName(t); };
    using Result = std::pair<int, std::wstring>;
    EXPECT_EQ(InPlace(strip, L"C:\\dir\\setup.exe"), Result(1, L"setup.exe"));
    EXPECT_EQ(InPlace(strip, L""), Result(0, L""));
    // Without a separator nothing is removed, not even the extension.
    EXPECT_EQ(InPlace(stripExt, L"setup.exe"), Result(0, L"setup.exe"));
    EXPECT_EQ(InPlace(stripExt, L"/a.b/noext"), Result(1, L"noext"));
    EXPECT_EQ(InPlace(stripName, L"C:\\dir\\setup.exe"), Result(1, L"C:\\dir"));
    EXPECT_EQ(InPlace(stripName, L"C:\\setup.exe"), Result(1, L"C:"));
    EXPECT_EQ(InPlace(stripName, L"setup.exe"), Result(1, L"setup.exe"));
    EXPECT_EQ(h.StripDirectory(nullptr), 0);
    EXPECT_EQ(h.StripFileName(nullptr), 0);
}

TEST(PathHelper, InputBeyondCapacityFailsWithoutChange) {
    CPathHelper h;
    auto stripExt = [&](wchar_t* t) { return h.StripDirectoryAndExtension(t); };
    const std::wstring fits(2047, L'a');
    const std::wstring tooLong(2048, L'a');
    EXPECT_EQ(InPlace(stripExt, L"C:\\" + fits.substr(4) + L".exe").second, fits.substr(4));
    EXPECT_EQ(InPlace(stripExt, L"C:\\" + tooLong + L".exe").first, 0);
    EXPECT_EQ(InPlace(stripExt, L"C:\\" + tooLong + L".exe").second, L"C:\\" + tooLong + L".exe");
    EXPECT_EQ(h.GetFileName(L"/" + fits), fits);
    EXPECT_EQ(h.GetFileName(L"/" + tooLong), L"");
    EXPECT_EQ(h.GetBaseName(L"/" + tooLong), L"");
    // The whole input: 8191 characters are taken, 8192 are not.
    EXPECT_EQ(h.GetBaseName(std::wstring(8191 - 6, L'd') + L"\\a.exe"), L"a");
    EXPECT_EQ(h.GetFileName(std::wstring(8192 - 6, L'd') + L"\\a.exe"), L"");
}

TEST(PathHelper, ExistenceAndDirectoryCreation) {
    CPathHelper helper;
    ScratchFolder scratch;
    ASSERT_TRUE(WriteBytes(scratch / L"file.txt", "x"));
    EXPECT_EQ(helper.PathExists(scratch.Path()), 1);
    EXPECT_EQ(helper.PathExists(scratch.Path() + L"\\"), 0);
    EXPECT_EQ(helper.PathExists(scratch / L"*.txt"), 1);
    EXPECT_EQ(helper.PathExists(scratch / L"missing"), 0);

    helper.CreateDirectories(scratch / L"a\\b\\c\\");
    helper.CreateDirectories(scratch / L"a\\b\\c\\");  // all present: no effect
    EXPECT_EQ(helper.PathExists(scratch / L"a\\b\\c"), 1);
    helper.CreateDirectories(scratch.Path() + L"/x//y");
    EXPECT_EQ(helper.PathExists(scratch / L"x\\y"), 1);
    // Collapsing the leading "\\" of "\\?\C:\..." (or "\\server\share\...") would create the
    // levels somewhere else on the current drive.
    helper.CreateDirectories(L"\\\\?\\" + scratch.Path() + L"\\deep\\level");
    EXPECT_EQ(helper.PathExists(scratch / L"deep\\level"), 1);
}

TEST(PathHelper, FileSizesAtThirtyTwoAndSixtyFourBits) {
    CPathHelper helper;
    ScratchFolder scratch;
    unsigned long long size = 77;
    EXPECT_EQ(helper.QueryFileSize(scratch / L"missing"), 0u);
    EXPECT_EQ(helper.QueryFileSize64(scratch / L"missing", size), 0);
    EXPECT_EQ(size, 77u);
    ASSERT_TRUE(WriteBytes(scratch / L"empty", ""));
    EXPECT_EQ(helper.QueryFileSize64(scratch / L"empty", size), 1);
    EXPECT_EQ(size, 0u);

    // 4 GiB + 5 bytes (sparse): the 32-bit query gives the low part, the 64-bit one all of it.
    const std::wstring big = scratch / L"big";
    const HANDLE file = CreateFileW(big.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    LARGE_INTEGER end;
    end.QuadPart = (1LL << 32) + 5;
    const bool extended = SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file);
    CloseHandle(file);
    ASSERT_TRUE(extended);
    EXPECT_EQ(helper.QueryFileSize(big), 5u);
    EXPECT_EQ(helper.QueryFileSize64(big, size), 1);
    EXPECT_EQ(size, (1ULL << 32) + 5);
}

TEST(PathHelper, SizeQueryPathBeyondCapacityFails) {
    CPathHelper helper;
    ScratchFolder scratch;
    // Real nested folders ("\\?\" lifts the MAX_PATH limit) so that one file is named by a
    // path of exactly 2047 characters and its neighbour by one of 2048.
    std::wstring folder = L"\\\\?\\" + scratch.Path();
    while (folder.size() + 1 + 200 + 1 + 10 < 2047) {
        folder += L"\\" + std::wstring(200, L'd');
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    }
    const std::wstring atLimit = folder + L"\\" + std::wstring(2047 - folder.size() - 1, L'f');
    const std::wstring beyond = atLimit + L"g";
    ASSERT_TRUE(WriteBytes(atLimit, "12345"));
    ASSERT_TRUE(WriteBytes(beyond, "12345"));
    unsigned long long size = 0;
    EXPECT_EQ(helper.QueryFileSize(atLimit), 5u);
    EXPECT_EQ(helper.QueryFileSize64(atLimit, size), 1);
    EXPECT_EQ(helper.QueryFileSize(beyond), 0u);
    EXPECT_EQ(helper.QueryFileSize64(beyond, size), 0);
}

TEST(PathHelper, AnsiConversions) {
    CPathHelper helper;
    std::unique_ptr<char[]> ansi = helper.WideToAnsi(L"setup.exe");
    ASSERT_TRUE(ansi);
    EXPECT_STREQ(ansi.get(), "setup.exe");
    ansi = helper.WideToAnsi(L"");
    ASSERT_TRUE(ansi);
    EXPECT_STREQ(ansi.get(), "");
    std::string exact;
    EXPECT_EQ(helper.WideToAnsiExact(L"pub/setup.exe", exact), 1);
    EXPECT_EQ(exact, "pub/setup.exe");

    if (GetACP() == CP_UTF8) GTEST_SKIP() << "every character has a UTF-8 form";
    // U+1F600 lies outside every single- and double-byte code page; best fit would turn U+0101
    // into "a" in the Western one.
    EXPECT_EQ(helper.WideToAnsiExact(L"a\U0001F600.exe", exact), 0);
    EXPECT_EQ(exact, "pub/setup.exe");
    if (GetACP() == 1252) {
        EXPECT_EQ(helper.WideToAnsiExact(L"\u0101", exact), 0);
    }
}
