#include "config/InstallerConfig.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "config/ModulePath.h"
#include "config/TestScratch.h"

namespace {

// Hands CInstallerConfig the fixture module, whose folder holds this test's Fennick.ini alone.
class InstallerConfigTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::wstring folder = ModuleDirectory(nullptr) + L"\\config-fixture";
        m_module = LoadLibraryW((folder + L"\\config_fixture_module.dll").c_str());
        ASSERT_NE(m_module, nullptr);
        m_iniPath = folder + L"\\Fennick.ini";
        DeleteFileW(m_iniPath.c_str());
        m_config = CInstallerConfig(m_module);
    }
    void TearDown() override {
        DeleteFileW(m_iniPath.c_str());
        if (m_module != nullptr) FreeLibrary(m_module);
    }
    // Loads over split fields with old values, to show what a load changes.
    int Load(const std::wstring& value) {
        EXPECT_TRUE(config_testing::WriteUtf16Text(
            m_iniPath, L"[Main]\r\nDownloadString=" + value + L"\r\n"));
        m_config.m_strHostName = L"old-host";
        m_config.m_nScheme = 99;
        return m_config.Load();
    }

    HMODULE m_module = nullptr;
    std::wstring m_iniPath;
    CInstallerConfig m_config;
};

}  // namespace

TEST_F(InstallerConfigTest, LoadsAndSplitsTheUrl) {
    ASSERT_EQ(Load(L"ftp://anna:pw@files.example.com:2121/pub/Setup.en.exe"), 1);
    EXPECT_EQ(m_config.m_strUrl, L"ftp://anna:pw@files.example.com:2121/pub/Setup.en.exe");
    EXPECT_EQ(m_config.m_strBaseName, L"Setup.en");
    EXPECT_EQ(m_config.m_strHostName, L"files.example.com");
    EXPECT_EQ(m_config.m_strUserName, L"anna");
    EXPECT_EQ(m_config.m_strPassword, L"pw");
    EXPECT_EQ(m_config.m_strUrlPath, L"/pub/Setup.en.exe");
    EXPECT_EQ(m_config.m_nPort, 2121);
    EXPECT_EQ(m_config.m_nScheme, 1);

    ASSERT_EQ(Load(L"ftp://files.example.com/pub/Setup.exe"), 1);
    EXPECT_EQ(m_config.m_strUserName, L"");
    EXPECT_EQ(m_config.m_strPassword, L"");
    EXPECT_EQ(m_config.m_nPort, 21);
    // Schemes the dialog has no worker for still load, with their code.
    ASSERT_EQ(Load(L"gopher://h/Setup.exe"), 1);
    EXPECT_EQ(m_config.m_nScheme, 2);
    ASSERT_EQ(Load(L"sftp://h/Setup.exe"), 1);
    EXPECT_EQ(m_config.m_nScheme, -1);
}

TEST_F(InstallerConfigTest, TrimsOnlyTheEnds) {
    // The quotes keep the blanks in the file; the reader drops the quotes, Load the blanks.
    ASSERT_EQ(Load(L"\" \t http://h/pub/My Setup.exe\t \""), 1);
    EXPECT_EQ(m_config.m_strUrl, L"http://h/pub/My Setup.exe");
    EXPECT_EQ(m_config.m_strBaseName, L"My Setup");
    ASSERT_EQ(Load(L"http://h/pub/ Setup .exe"), 1);
    EXPECT_EQ(m_config.m_strBaseName, L"Setup");
}

TEST_F(InstallerConfigTest, BaseNameComesFromTheWholeUrl) {
    ASSERT_EQ(Load(L"http://h/pub/"), 1);
    EXPECT_EQ(m_config.m_strBaseName, L"");
    // The query belongs to the last component of the URL, not to the path.
    ASSERT_EQ(Load(L"http://h/pub/Setup.exe?v=1.2"), 1);
    EXPECT_EQ(m_config.m_strBaseName, L"Setup.exe?v=1");
    EXPECT_EQ(m_config.m_strUrlPath, L"/pub/Setup.exe");
    // Escapes are decoded in the path only.
    ASSERT_EQ(Load(L"http://h/pub/My%20Setup.exe"), 1);
    EXPECT_EQ(m_config.m_strUrlPath, L"/pub/My Setup.exe");
    EXPECT_EQ(m_config.m_strUrl, L"http://h/pub/My%20Setup.exe");
    EXPECT_EQ(m_config.m_strBaseName, L"My%20Setup");
}

TEST_F(InstallerConfigTest, MissingValueLeavesTheRecordAlone) {
    m_config.m_strUrl = L"old-url";
    EXPECT_EQ(m_config.Load(), 0);  // no file
    EXPECT_EQ(Load(L"ERR"), 0);
    // A value too long for the 4096-character buffer counts as missing, never as a cut URL.
    EXPECT_EQ(Load(L"http://h/" + std::wstring(4100, L'a')), 0);
    EXPECT_EQ(m_config.m_strUrl, L"old-url");
    EXPECT_EQ(m_config.m_strHostName, L"old-host");
}

TEST_F(InstallerConfigTest, UnsplittableValueKeepsUrlAndBaseNameOnly) {
    EXPECT_EQ(Load(L"err"), 0);
    EXPECT_EQ(m_config.m_strUrl, L"err");
    EXPECT_EQ(m_config.m_strBaseName, L"");
    EXPECT_EQ(m_config.m_strHostName, L"old-host");
    EXPECT_EQ(m_config.m_nScheme, 99);
    EXPECT_EQ(Load(L""), 0);
    EXPECT_EQ(m_config.m_strUrl, L"");
    EXPECT_EQ(Load(L"http://h:70000/pub/Setup.exe"), 0);
    EXPECT_EQ(m_config.m_strBaseName, L"Setup");
    EXPECT_EQ(m_config.m_strHostName, L"old-host");
}

TEST(InstallerConfig, ModuleFilePathFailuresFailLoad) {
    std::wstring path = L"unchanged";
    EXPECT_EQ(CInstallerConfig().MakeModuleFilePath(path, std::wstring(4096, L'n')), 0);
    EXPECT_EQ(path, L"unchanged");
    CInstallerConfig noModule(reinterpret_cast<HMODULE>(static_cast<uintptr_t>(0x10)));
    EXPECT_EQ(noModule.MakeModuleFilePath(path, L"Fennick.ini"), 0);
    EXPECT_EQ(noModule.Load(), 0);
}
