#include "config/PathHelper.h"

#include <gtest/gtest.h>

#include "Handles.h"
#include "config/DownloadFiles.h"
#include "config/DownloadFolder.h"
#include "config/IniFile.h"
#include "config/TestScratch.h"

// Light checks of the helpers the installer calls, with one capacity row; the URL-facing names carry the weight.
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
    std::string ansi;
    if (GetACP() != CP_UTF8) { EXPECT_EQ(h.WideToAnsiExact(L"a\U0001F600.exe", ansi), 0) << "no best fit"; }
    fennick_testing::ScratchFolder scratch;
    // A leading "\\?\" must survive, or the levels land elsewhere on the current drive.
    h.CreateDirectories(L"\\\\?\\" + scratch.Path() + L"\\a/b//c\\");
    EXPECT_EQ(h.PathExists(scratch / L"a\\b\\c"), 1);

    // 4 GiB + 5 bytes, sparse: the size query must not stop at 32 bits.
    const std::wstring big = scratch / L"big";
    {
        const UniqueHandle file(CreateFileW(big.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        const LARGE_INTEGER end{{5, 1}};
        ASSERT_TRUE(file && SetFilePointerEx(file.Get(), end, nullptr, FILE_BEGIN) && SetEndOfFile(file.Get()));
    }
    unsigned long long size = 0;
    EXPECT_EQ(h.QueryFileSize64(big, size), 1);
    EXPECT_EQ(size, (1ULL << 32) + 5);
}

// Past MAX_PATH: a 300-character documents folder, made through "\\?\", serves the helpers and
// the download folder's composition as any other.
TEST(PathHelper, WorkPastMaxPath) {
    fennick_testing::ScratchFolder scratch;
    std::wstring documents = scratch.Path();
    while (documents.size() < 300) documents += L"\\" + std::wstring(40, L'd');
    CPathHelper h;
    h.CreateDirectories(L"\\\\?\\" + documents);
    const std::wstring folder = ComposeDownloadFolder(documents);
    h.CreateDirectories(folder);
    ASSERT_EQ(h.PathExists(folder + L"*"), 1);
    const DownloadFiles files = MakeDownloadFiles(folder, L"setup.exe");
    {
        const UniqueHandle file(CreateFileW(files.strTargetPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        DWORD written = 0;
        ASSERT_TRUE(file && WriteFile(file.Get(), "abc", 3, &written, nullptr));
    }
    unsigned long long size = 0;
    EXPECT_EQ(h.QueryFileSize64(files.strTargetPath, size) * size, 3u);
    EXPECT_EQ(h.GetFileName(files.strTargetPath), L"setup.exe");
    // The profile functions stop at MAX_PATH: the state file fails cleanly, nothing is written.
    EXPECT_FALSE(WriteIniString(files.strStateFile, L"Main", L"RetryCount", L"2"));
    EXPECT_EQ(ReadIniString(files.strStateFile, L"Main", L"RetryCount"), L"ERR");
    EXPECT_EQ(GetFileAttributesW(files.strStateFile.c_str()), INVALID_FILE_ATTRIBUTES);
}
