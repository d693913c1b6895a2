#include <gtest/gtest.h>

#include "checks/AddressCheck.h"

namespace {

CheckProblem ProblemOf(const std::wstring& value) { return CheckDownloadAddress(value).finding.problem; }

TEST(AddressCheck, MissingOrBlankConfigurationIsTheFinding) {
    EXPECT_EQ(ProblemOf(L"ERR"), CheckProblem::ConfigMissing);
    EXPECT_EQ(ProblemOf(L""), CheckProblem::ConfigMissing);
    EXPECT_EQ(ProblemOf(L" \t\r\n"), CheckProblem::ConfigMissing);
}

TEST(AddressCheck, RejectsWhatTheInstallerCannotDownload) {
    EXPECT_EQ(ProblemOf(L"err"), CheckProblem::AddressMalformed);  // only the exact "ERR" means missing
    EXPECT_EQ(ProblemOf(L"setup.exe"), CheckProblem::AddressMalformed);
    EXPECT_EQ(ProblemOf(L"ftp://host:99999/setup.exe"), CheckProblem::AddressMalformed);
    EXPECT_EQ(ProblemOf(L"ftp://host/a%ZZ.exe"), CheckProblem::AddressMalformed);
    EXPECT_EQ(ProblemOf(L"gopher://host/setup.exe"), CheckProblem::SchemeUnsupported);
    EXPECT_EQ(ProblemOf(L"file:///C:/setup.exe"), CheckProblem::SchemeUnsupported);
    EXPECT_EQ(ProblemOf(L"sftp://host/setup.exe"), CheckProblem::SchemeUnsupported);
    EXPECT_EQ(ProblemOf(L"http://host/pub/"), CheckProblem::NoFileName);
    EXPECT_EQ(ProblemOf(L"http://host"), CheckProblem::NoFileName);
}

TEST(AddressCheck, FtpPartsMustSurviveTheConversionTo8Bit) {
    // The installer hands the FTP library ANSI strings; a name without an ANSI form would
    // reach the server as another name.
    EXPECT_EQ(ProblemOf(L"ftp://host/pub/\x0416\x4E2D.exe"), CheckProblem::AddressNotTransmittable);
    EXPECT_EQ(ProblemOf(L"ftp://\x4E2D:pw@host/pub/setup.exe"), CheckProblem::AddressNotTransmittable);
    // HTTP sends the URL as it stands.
    EXPECT_EQ(ProblemOf(L"http://host/pub/%E4%B8%AD.exe"), CheckProblem::None);
}

TEST(AddressCheck, AcceptedAddressIsSplitAndNamesTheLocalFile) {
    const AddressCheckResult ftp = CheckDownloadAddress(L"  ftp://user:pw@files.example:2121/pub/My%20Setup.exe \r\n");
    ASSERT_TRUE(ftp.finding.Passed());
    EXPECT_EQ(ftp.strUrl, L"ftp://user:pw@files.example:2121/pub/My%20Setup.exe");
    EXPECT_EQ(ftp.parts.m_nScheme, URL_SCHEME_FTP);
    EXPECT_EQ(ftp.parts.m_strHostName, L"files.example");
    EXPECT_EQ(ftp.parts.m_nPort, 2121);
    EXPECT_EQ(ftp.parts.m_strUserName, L"user");
    EXPECT_EQ(ftp.strFileName, L"My Setup.exe");

    const AddressCheckResult https = CheckDownloadAddress(L"https://files.example/setup.exe?x=1");
    ASSERT_TRUE(https.finding.Passed());
    EXPECT_EQ(https.parts.m_nPort, 443);
    EXPECT_EQ(https.strFileName, L"setup.exe");
}

}  // namespace
