#include "config/DownloadFolder.h"

#include <gtest/gtest.h>

#include "config/PathHelper.h"

TEST(DownloadFolder, Composition) {
    EXPECT_EQ(ComposeDownloadFolder(L""), L"");
    EXPECT_EQ(ComposeDownloadFolder(L"C:\\Users\\anna\\Documents"),
              L"C:\\Users\\anna\\Documents\\Vantrel\\Fennick\\");
    EXPECT_EQ(ComposeDownloadFolder(L"D:\\"), L"D:\\Vantrel\\Fennick\\");
}

TEST(DownloadFolder, UnderTheDocumentsFolder) {
    const std::wstring folder = QueryDocumentsDownloadFolder(nullptr);
    const std::wstring suffix = L"\\Vantrel\\Fennick\\";
    ASSERT_GT(folder.size(), suffix.size());
    EXPECT_EQ(folder.substr(folder.size() - suffix.size()), suffix);
    CPathHelper helper;
    EXPECT_EQ(helper.PathExists(folder.substr(0, folder.size() - suffix.size())), 1);
}
