#include <gtest/gtest.h>

#include "checks/AddressCheck.h"
#include "checks/LocalChecks.h"
#include "config/IniFile.h"
#include "config/TestScratch.h"

TEST(AddressCheck, FindsWhatTheInstallerCannotDownload) {
    const struct {
        const wchar_t* value;
        CheckProblem expected;
    } cases[] = {
        {L"ERR", CheckProblem::ConfigMissing}, {L" \t\r\n", CheckProblem::ConfigMissing},
        {L"err", CheckProblem::AddressMalformed},  // only the exact "ERR" means missing
        {L"ftp://host:99999/setup.exe", CheckProblem::AddressMalformed},
        {L"gopher://host/setup.exe", CheckProblem::SchemeUnsupported},
        {L"http://host/pub/", CheckProblem::NoFileName},
        // The FTP library gets ANSI strings: a name without an ANSI form would reach the server as another.
        {L"ftp://host/pub/\x0416\x4E2D.exe", CheckProblem::AddressNotTransmittable},
        {L"ftp://\x4E2D:pw@host/pub/setup.exe", CheckProblem::AddressNotTransmittable},
        {L"http://host/pub/%E4%B8%AD.exe", CheckProblem::None},  // HTTP sends the URL as it stands
    };
    for (const auto& c : cases) EXPECT_EQ(CheckDownloadAddress(c.value).finding.problem, c.expected) << c.value;
    // A Sha256 that the installer refuses fetches nothing: the address check names it (the pin rule is PackagePin_test's).
    EXPECT_EQ(CheckDownloadAddress(L"http://host/a.exe", L"12ab").finding.problem, CheckProblem::PinMalformed);
    const AddressCheckResult ftp = CheckDownloadAddress(L"  ftp://u:pw@files.example:2121/pub/My%20Setup.exe \r\n");
    EXPECT_EQ(ftp.strUrl, L"ftp://u:pw@files.example:2121/pub/My%20Setup.exe");
    EXPECT_EQ(ftp.strFileName, L"My Setup.exe");
}

TEST(LocalChecks, FolderAndDiskRoom) {
    fennick_testing::ScratchFolder root;
    const std::wstring folder = root / L"not\\yet\\there\\";
    const DownloadFiles files = MakeDownloadFiles(folder, L"setup.exe");
    EXPECT_TRUE(CheckDiskRoom(folder, files, 1024).Passed()) << "asked of the nearest existing parent";
    EXPECT_EQ(CheckDiskRoom(folder, files, 1LL << 60).problem, CheckProblem::DiskFull);
    EXPECT_EQ(CheckDiskRoom(folder, files, -1).problem, CheckProblem::SizeUnknown);

    ASSERT_TRUE(CheckDownloadFolder(folder, files).Passed());
    EXPECT_NE(GetFileAttributesW((root / L"not\\yet\\there").c_str()), INVALID_FILE_ATTRIBUTES);
    ASSERT_TRUE(WriteIniString(root / L"Vantrel", L"a", L"file", L"where a folder belongs"));
    const std::wstring blocked = root / L"Vantrel\\Fennick\\";
    EXPECT_EQ(CheckDownloadFolder(blocked, MakeDownloadFiles(blocked, L"setup.exe")).problem,
              CheckProblem::FolderCannotCreate);
}

// A folder without ANSI form is out of the 8-bit entries' reach on a volume without short names
// (the seam returns the long form, as Windows does there); the UTF-16 entry reaches any folder.
// The path rule itself is LibraryPath's (LibraryPath_test.cpp).
TEST(LocalChecks, FtpLibraryReachesTheFolder) {
    const std::wstring chinese = L"C:\\Users\\\x4E2D\x6587\\Documents\\";
    auto longForm = [](const std::wstring& p) { return p; };
    EXPECT_EQ(CheckFtpFolderReach(chinese, L"a.exe", false, longForm).problem, CheckProblem::FtpFolderUnreachable);
    EXPECT_TRUE(CheckFtpFolderReach(chinese, L"a.exe", true, longForm).Passed());
}
