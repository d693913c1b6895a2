#include "checks/LocalChecks.h"

#include <windows.h>

#include <string>

#include "Handles.h"
#include "WideDecimal.h"
#include "bindings/TransferLibraryModule.h"
#include "config/PathHelper.h"

namespace {

std::wstring WithoutTrailingSeparator(std::wstring path) {
    while (path.size() > 3 && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
    return path;
}

bool IsDirectory(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(WithoutTrailingSeparator(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Opens an existing file for writing as a transfer would; ERROR_SUCCESS when it opened or
// does not exist at all.
DWORD ProbeExistingFile(const std::wstring& path) {
    if (path.empty() || GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) return ERROR_SUCCESS;
    const UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file) return ERROR_SUCCESS;
    const DWORD error = GetLastError();
    return error == ERROR_SUCCESS ? ERROR_ACCESS_DENIED : error;
}

// The nearest directory of the path that exists, for asking about its disk.
std::wstring NearestExistingDirectory(std::wstring path) {
    path = WithoutTrailingSeparator(path);
    while (!path.empty()) {
        if (IsDirectory(path)) return path + L"\\";
        const size_t separator = path.find_last_of(L"\\/");
        if (separator == std::wstring::npos) break;
        path.resize(separator);
    }
    return std::wstring();
}

std::wstring Megabytes(unsigned long long bytes) {
    return WideDecimal(bytes / (1024 * 1024)) + L" MB";
}

}  // namespace

CheckFinding CheckDownloadFolder(const std::wstring& folder, const DownloadFiles& files) {
    if (folder.empty()) return CheckFinding::Fail(CheckProblem::DocumentsUnavailable);

    CPathHelper().CreateDirectories(folder);
    if (!IsDirectory(folder))
        return CheckFinding::Fail(CheckProblem::FolderCannotCreate,
                                  L"not a directory after creation: " + folder);

    // A probe file of our own, removed by the system when its handle closes.
    const std::wstring probePath =
        WithoutTrailingSeparator(folder) + L"\\QXChkErr-" + WideDecimal(GetCurrentProcessId()) + L".tmp";
    const UniqueHandle probe(CreateFileW(probePath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                         FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    if (!probe)
        return CheckFinding::Fail(CheckProblem::FolderNotWritable, L"create error " + WideDecimal(GetLastError()));
    const char byte = 0;
    DWORD written = 0;
    if (!WriteFile(probe.Get(), &byte, 1, &written, nullptr) || written != 1)
        return CheckFinding::Fail(CheckProblem::FolderNotWritable, L"write error " + WideDecimal(GetLastError()));

    const std::wstring* const existing[] = {&files.strPartialPath, &files.strTargetPath};
    for (const std::wstring* path : existing) {
        const DWORD error = ProbeExistingFile(*path);
        if (error != ERROR_SUCCESS)
            return CheckFinding::Fail(CheckProblem::DownloadFileLocked,
                                      *path + L" open error " + WideDecimal(error));
    }
    return CheckFinding::Pass();
}

bool FtpLibraryTakesWidePaths() {
    const UniqueModule library = LoadLibraryBesideExecutable(L"QXFtp.dll");
    return library && GetProcAddress(library.Get(), "QFTPFGFWCBW") != nullptr;
}

CheckFinding CheckFtpFolderReach(const std::wstring& folder, const std::wstring& fileName, bool wideEntry,
                                 std::wstring (*shortPath)(const std::wstring&)) {
    if (wideEntry) return CheckFinding::Pass();
    std::string ansi;
    if (MakeAnsiLibraryPath(folder, fileName + L"_tmp", ansi, shortPath)) return CheckFinding::Pass();
    return CheckFinding::Fail(CheckProblem::FtpFolderUnreachable, L"no ANSI or short form of " + folder);
}

CheckFinding CheckDiskRoom(const std::wstring& folder, const DownloadFiles& files, long long nPackageSize) {
    if (nPackageSize < 0) return CheckFinding::Skip(CheckProblem::SizeUnknown);
    const std::wstring directory = NearestExistingDirectory(folder);
    if (directory.empty()) return CheckFinding::Skip(CheckProblem::EarlierCheckFailed, L"no folder to ask about");

    ULARGE_INTEGER available{};
    if (!GetDiskFreeSpaceExW(directory.c_str(), &available, nullptr, nullptr))
        return CheckFinding::Skip(CheckProblem::EarlierCheckFailed,
                                  L"GetDiskFreeSpaceExW error " + WideDecimal(GetLastError()));
    unsigned long long partial = 0;
    if (!files.strPartialPath.empty() && !CPathHelper().QueryFileSize64(files.strPartialPath, partial)) partial = 0;

    const unsigned long long needed = static_cast<unsigned long long>(nPackageSize);
    const unsigned long long room = available.QuadPart > ~0ULL - partial ? ~0ULL : available.QuadPart + partial;
    const std::wstring detail = L"package " + Megabytes(needed) + L", room " + Megabytes(room);
    if (room < needed) return CheckFinding::Fail(CheckProblem::DiskFull, detail);
    return CheckFinding::Pass(detail);
}
