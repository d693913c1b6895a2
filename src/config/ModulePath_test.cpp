#include "config/ModulePath.h"

#include <gtest/gtest.h>

TEST(ModulePath, JoinsExecutableDirectoryAndName) {
    std::wstring out;
    ASSERT_EQ(MakeModuleFilePath(nullptr, L"Fennick.ini", out), 1);
    const std::wstring dir = ModuleDirectory(nullptr);
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(out, dir + L"\\Fennick.ini");
}

TEST(ModulePath, ResultBeyondCapacityFailsAndLeavesOutputAlone) {
    std::wstring out = L"unchanged";
    const size_t exact = ModuleDirectory(nullptr).size() + 1 + 3 + 1;  // dir + "\" + "a.b" + NUL
    EXPECT_EQ(MakeModuleFilePath(nullptr, L"a.b", out, exact - 1), 0);
    EXPECT_EQ(out, L"unchanged");
    EXPECT_EQ(MakeModuleFilePath(nullptr, L"a.b", out, exact), 1);
}
