#include "download/LibraryPath.h"

#include <gtest/gtest.h>

// The 8-bit path falls back to the folder's short name only where the volume has one: Wine
// invents short names for every folder, Windows does not, so the short form is given here.
TEST(LibraryPath, ShortNameFallbackOnlyWhereTheVolumeHasOne) {
    const std::wstring chinese = L"C:\\Users\\\x4E2D\x6587\\Documents\\";
    std::string out = "kept";
    EXPECT_TRUE(MakeAnsiLibraryPath(L"C:\\plain\\", L"a.exe_tmp", out, [](const std::wstring&) { return std::wstring(); }));
    EXPECT_EQ(out, "C:\\plain\\a.exe_tmp");
    EXPECT_TRUE(MakeAnsiLibraryPath(chinese, L"a.exe_tmp", out, [](const std::wstring&) { return std::wstring(L"C:\\Users\\ABCDEF~1\\DOCUME~1"); }));
    EXPECT_EQ(out, "C:\\Users\\ABCDEF~1\\DOCUME~1\\a.exe_tmp");
    // No 8.3 names on the volume: the long form comes back, and nothing is made up.
    out = "kept";
    EXPECT_FALSE(MakeAnsiLibraryPath(chinese, L"a.exe_tmp", out, [](const std::wstring& p) { return p; }));
    EXPECT_FALSE(MakeAnsiLibraryPath(chinese, L"a.exe_tmp", out, [](const std::wstring&) { return std::wstring(); }));
    EXPECT_EQ(out, "kept");
}
