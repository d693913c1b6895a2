#include "download/LibraryPath.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {
std::wstring TempFolder() {
    wchar_t buffer[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, buffer);
    return std::wstring(buffer, length);
}

// Writes through the 8-bit path the way the library does and reads back through the long path.
void ExpectSameFile(const std::string& ansiPath, const std::wstring& longPath) {
    const HANDLE created = CreateFileA(ansiPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(created, INVALID_HANDLE_VALUE) << ansiPath;
    CloseHandle(created);
    EXPECT_NE(GetFileAttributesW(longPath.c_str()), INVALID_FILE_ATTRIBUTES);
    DeleteFileW(longPath.c_str());
}
}  // namespace

TEST(LibraryPath, FolderWithChineseNameNamesTheSameFile) {
    const std::wstring folder = TempFolder() + L"\u6587\u4ef6\u5939 \u0444\u0430\u0439\u043b\\";
    CreateDirectoryW(folder.c_str(), nullptr);
    std::string out;
    ASSERT_EQ(MakeAnsiLibraryPath(folder, L"setup.exe_tmp", out), 1);
    // Whatever the code page, the 8-bit text must lead to this very file, never to a "?" name.
    EXPECT_EQ(out.find('?'), std::string::npos) << out;
    ExpectSameFile(out, folder + L"setup.exe_tmp");
    RemoveDirectoryW(folder.c_str());
}

TEST(LibraryPath, FileNameWithoutAnsiFormFailsInsteadOfGuessing) {
    const UINT acp = GetACP();
    if (acp == 936 || acp == 950 || acp == 65001) GTEST_SKIP() << "this code page can write the name";
    std::string out = "unchanged";
    EXPECT_EQ(MakeAnsiLibraryPath(TempFolder(), L"\u5b89\u88dd.exe_tmp", out), 0);
}
