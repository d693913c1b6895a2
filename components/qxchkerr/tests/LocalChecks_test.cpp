#include <gtest/gtest.h>

#include "TestFolder.h"
#include "checks/DownloadFiles.h"
#include "checks/LocalChecks.h"
#include "config/IniFile.h"

namespace {

bool IsDirectory(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

int CountEntries(const std::wstring& folder) {
    int count = 0;
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((folder + L"*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return 0;
    do {
        if (wcscmp(entry.cFileName, L".") != 0 && wcscmp(entry.cFileName, L"..") != 0) ++count;
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    return count;
}

// Makes a folder immutable for the test's duration, so that not even an administrator (all
// Wine processes here run as one) may write into it: chattr on the folder's Unix path. Wine gives
// no waitable handle for a Unix process, so the effect is polled for.
class CImmutableFolder {
public:
    explicit CImmutableFolder(const std::wstring& folder) : m_strFolder(folder) {
        using ToUnix = char*(CDECL*)(const wchar_t*);
        const auto toUnix =
            reinterpret_cast<ToUnix>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name"));
        if (toUnix == nullptr) return;
        char* unixPath = toUnix(folder.c_str());
        if (unixPath == nullptr) return;
        m_unixPath = unixPath;
        HeapFree(GetProcessHeap(), 0, unixPath);
        m_bActive = Chattr("+i") && WaitUntilWritable(false);
    }
    ~CImmutableFolder() {
        if (m_bActive && Chattr("-i")) WaitUntilWritable(true);
    }
    bool Active() const { return m_bActive; }

private:
    bool Chattr(const char* flag) {
        std::wstring commandLine = L"chattr " + std::wstring(flag, flag + strlen(flag)) + L" \"" +
                                   std::wstring(m_unixPath.begin(), m_unixPath.end()) + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process{};
        if (!CreateProcessW(L"Z:\\usr\\bin\\chattr", &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &startup, &process))
            return false;
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        return true;
    }
    bool CanWrite() const {
        HANDLE probe = CreateFileW((m_strFolder + L"probe.tmp").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (probe == INVALID_HANDLE_VALUE) return false;
        CloseHandle(probe);
        return true;
    }
    bool WaitUntilWritable(bool writable) const {
        const ULONGLONG deadline = GetTickCount64() + 10000;
        while (CanWrite() != writable) {
            if (GetTickCount64() > deadline) return false;
            Sleep(20);
        }
        return true;
    }

    std::wstring m_strFolder;
    std::string m_unixPath;
    bool m_bActive = false;
};

TEST(FolderCheck, CreatesTheFolderChainAndLeavesNoTraceBehind) {
    CTestFolder root;
    const std::wstring folder = root.Path() + L"Documents\\Vantrel\\Fennick\\";
    const DownloadFiles files = DescribeDownloadFiles(folder, L"setup.exe");
    const CheckFinding finding = CheckDownloadFolder(files);
    ASSERT_TRUE(finding.Passed()) << finding.detail.c_str();
    EXPECT_TRUE(IsDirectory(root.Path() + L"Documents\\Vantrel\\Fennick"));
    EXPECT_EQ(CountEntries(folder), 0);  // the probe file is gone
}

TEST(FolderCheck, UnknownDocumentsFolderAndBlockedPathAreFindings) {
    EXPECT_EQ(CheckDownloadFolder(DescribeDownloadFiles(L"", L"setup.exe")).problem, CheckProblem::DocumentsUnavailable);

    CTestFolder root;
    ASSERT_TRUE(WriteTestFile(root.Path() + L"Vantrel", 1));  // a file where a folder belongs
    const CheckFinding blocked = CheckDownloadFolder(DescribeDownloadFiles(root.Path() + L"Vantrel\\Fennick\\", L"setup.exe"));
    EXPECT_EQ(blocked.status, CheckStatus::Failed);
    EXPECT_EQ(blocked.problem, CheckProblem::FolderCannotCreate);
}

TEST(FolderCheck, ReadOnlyFolderIsNotWritable) {
    CTestFolder root;
    CImmutableFolder readOnly(root.Path());
    if (!readOnly.Active()) GTEST_SKIP() << "no way to make a folder read-only for an administrator here";
    const CheckFinding finding = CheckDownloadFolder(DescribeDownloadFiles(root.Path(), L"setup.exe"));
    EXPECT_EQ(finding.status, CheckStatus::Failed);
    EXPECT_EQ(finding.problem, CheckProblem::FolderNotWritable);
}

TEST(FolderCheck, PartialDownloadInUseElsewhereIsFound) {
    CTestFolder root;
    const DownloadFiles files = DescribeDownloadFiles(root.Path(), L"setup.exe");
    ASSERT_TRUE(WriteTestFile(files.strPartial, 10));
    EXPECT_TRUE(CheckDownloadFolder(files).Passed());

    HANDLE holder = CreateFileW(files.strPartial.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    const CheckFinding finding = CheckDownloadFolder(files);
    CloseHandle(holder);
    EXPECT_EQ(finding.status, CheckStatus::Failed);
    EXPECT_EQ(finding.problem, CheckProblem::DownloadFileLocked);
}

TEST(DiskRoomCheck, ComparesThePackageWithTheFreeSpace) {
    CTestFolder root;
    const DownloadFiles files = DescribeDownloadFiles(root.Path() + L"not\\yet\\there\\", L"setup.exe");
    EXPECT_TRUE(CheckDiskRoom(files, 1024).Passed());  // asked of the nearest existing parent
    const CheckFinding full = CheckDiskRoom(files, 1LL << 60);
    EXPECT_EQ(full.status, CheckStatus::Failed);
    EXPECT_EQ(full.problem, CheckProblem::DiskFull);
    const CheckFinding unknown = CheckDiskRoom(files, -1);
    EXPECT_EQ(unknown.status, CheckStatus::Skipped);
    EXPECT_EQ(unknown.problem, CheckProblem::SizeUnknown);
}

TEST(DownloadFiles, RecordedSizeIsReadBackAsTheInstallerWroteIt) {
    CTestFolder root;
    const std::wstring state = root.Path() + L"setup.exe_tmp_sz";
    EXPECT_EQ(ReadRecordedPackageSize(state), -1);  // no file
    ASSERT_EQ(WriteIniString(state, L"Main", L"RetryCount", L"2"), 1);
    EXPECT_EQ(ReadRecordedPackageSize(state), -1);  // no size key
    const struct {
        const wchar_t* text;
        long long expected;
    } cases[] = {
        {L"1234", 1234},
        {L"-1", 4294967295LL},           // low 32 bits of a size just under 4 GiB, written signed
        {L"-2147483648", 2147483648LL},
        {L"6442450944", 6442450944LL},   // a 64-bit record
        {L"abc", -1},
        {L"77kB", 77},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(WriteIniString(state, L"Main", L"size", c.text), 1);
        EXPECT_EQ(ReadRecordedPackageSize(state), c.expected) << c.text;
    }
}

}  // namespace
