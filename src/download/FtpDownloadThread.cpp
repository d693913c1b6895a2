#include <optional>
#include <string>

#include "bindings/QXFtp.h"
#include "config/IniFile.h"
#include "config/PathHelper.h"
#include "download/DownloadFileOps.h"
#include "download/DownloadThreads.h"
#include "download/DownloadWorker.h"
#include "download/FtpResume.h"
#include "download/LibraryPath.h"
#include "download/PackageCheck.h"
#include "download/TransferProgress.h"
#include "ui/FennickDlg.h"

namespace {
// Continue a local file that exists (see QXFtp.dll).
constexpr int CONTINUE_EXISTING_FILE = 1;

// Runs one of the binding's session operations (log off, close) when the attempt ends, so
// that every path out of it logs off after a log-on and closes after an open.
class SessionStep {
public:
    using Operation = int (CQXFtp::*)(int hSession);
    SessionStep(CQXFtp& ftp, Operation operation, int hSession)
        : m_ftp(ftp), m_operation(operation), m_hSession(hSession) {}
    ~SessionStep() { (m_ftp.*m_operation)(m_hSession); }
    SessionStep(const SessionStep&) = delete;
    SessionStep& operator=(const SessionStep&) = delete;

private:
    CQXFtp& m_ftp;
    Operation m_operation;
    int m_hSession;
};

// The 8-bit strings the library takes, each exact in the ANSI code page. The partial file's path
// goes in UTF-16 where the library takes it so, else in 8 bits.
struct FtpArguments {
    std::string remotePath, partialPath, host, user, password;
    std::wstring widePartialPath;
};

std::optional<unsigned long long> FileSize(const std::wstring& path) {
    CPathHelper paths;
    unsigned long long size = 0;
    if (!paths.QueryFileSize64(path, size)) return std::nullopt;
    return size;
}

// Deletes a stale package and partial file and records the new size. A stale partial file that
// cannot be deleted would be continued with another version's data, so that is a failure.
bool PrepareFreshStart(const DownloadFiles& files, long long remoteSize) {
    if (!DeleteFileIfPresent(files.strTargetPath) || !DeleteFileIfPresent(files.strPartialPath)) return false;
    CPathHelper paths;
    // Not fatal: without the record the next run merely starts from zero again.
    WriteIniString(files.strStateFile, L"Main", L"size", paths.Int64ToString(remoteSize));
    return true;
}

// A transfer that ended (or reported failure) with the whole file in the partial file counts
// only once the file is the target: an old, locked or wrong target must never be started.
bool FinishTransfer(int transferResult, const DownloadFiles& files, long long remoteSize) {
    if (transferResult != 1) {
        const std::optional<unsigned long long> partialSize = FileSize(files.strPartialPath);
        if (!partialSize || *partialSize != static_cast<unsigned long long>(remoteSize)) return false;
    }
    return MovePartialToTarget(files);
}

bool TransferInSession(CQXFtp& ftp, int hSession, CFennickDlg& dialog, const DownloadFiles& files,
                       const FtpArguments& args) {
    const CInstallerConfig& config = dialog.m_config;
    static const char NO_PROXY[1] = "";
    if (ftp.LogOn(hSession, args.host.c_str(), config.m_nPort, args.user.c_str(), args.password.c_str(), NO_PROXY,
                  NO_PROXY, NO_PROXY, NO_PROXY, config.m_nPort, 0) != 1) {
        return false;
    }
    SessionStep logOffSession(ftp, &CQXFtp::LogOff, hSession);

    long long remoteSize = 0;
    if (ftp.GetRemoteFileSize(hSession, args.remotePath.c_str(), &remoteSize) != 1 || remoteSize < 0) return false;
    dialog.m_nTotalSize = static_cast<unsigned long long>(remoteSize);

    switch (DecideFtpResume(ReadRecordedSize(files.strStateFile), remoteSize, FileSize(files.strTargetPath))) {
    case FtpResumeAction::AlreadyComplete:
        switch (CheckAgainstPin(files.strTargetPath, dialog)) {
        case PinVerdict::Matches: return true;
        case PinVerdict::Unverified: return false;
        case PinVerdict::Differs: break;
        }
        // Another release of the same size and name: not a failure, fetched afresh now.
        if (!DeleteFileIfPresent(files.strStateFile) || !PrepareFreshStart(files, remoteSize)) return false;
        break;
    case FtpResumeAction::Restart:
        if (!PrepareFreshStart(files, remoteSize)) return false;
        break;
    case FtpResumeAction::Continue:
        break;
    }
    const int result =
        args.widePartialPath.empty()
            ? ftp.DownloadFile(hSession, args.remotePath.c_str(), args.partialPath.c_str(), CONTINUE_EXISTING_FILE,
                               TransferProgressCallback, &dialog)
            : ftp.DownloadFileWide(hSession, args.remotePath.c_str(), args.widePartialPath.c_str(),
                                   CONTINUE_EXISTING_FILE, TransferProgressCallback, &dialog);
    return FinishTransfer(result, files, remoteSize) && VerifyFetchedPackage(files, dialog);
}

// One download attempt after the binding is built; true when the package is the target file.
bool DownloadPackage(CQXFtp& ftp, CFennickDlg& dialog) {
    CPathHelper paths;
    const std::wstring folder = dialog.m_strDownloadFolder;
    // Without a documents folder every path below would be relative to wherever we run.
    if (folder.empty()) return false;
    paths.CreateDirectories(folder);

    const int hSession = ftp.Open();
    if (hSession == 0) return false;
    SessionStep closeSession(ftp, &CQXFtp::Close, hSession);

    const CInstallerConfig& config = dialog.m_config;
    const std::wstring name = paths.GetFileName(config.m_strUrlPath);
    FtpArguments args;
    // A remote path without an exact ANSI form would name another file on the server.
    if (!paths.WideToAnsiExact(config.m_strUrlPath, args.remotePath)) return false;

    const DownloadFiles files = MakeDownloadFiles(folder, name);
    dialog.m_strTargetPath = files.strTargetPath;
    dialog.m_strRetryFile = files.strStateFile;
    // A pin that cannot be read must not let any file start; it is counted like any failure.
    if (config.m_pin.state == PinState::Malformed) return false;

    const std::wstring user = config.m_strUserName.empty() ? std::wstring(L"anonymous") : config.m_strUserName;
    if (ftp.HasWideDownload()) {
        args.widePartialPath = files.strPartialPath;
    } else if (!MakeAnsiLibraryPath(folder, name + L"_tmp", args.partialPath)) {
        return false;
    }
    if (!paths.WideToAnsiExact(config.m_strHostName, args.host) || !paths.WideToAnsiExact(user, args.user) ||
        !paths.WideToAnsiExact(config.m_strPassword, args.password)) {
        return false;
    }
    return TransferInSession(ftp, hSession, dialog, files, args);
}
}  // namespace

DWORD WINAPI FtpDownloadThread(LPVOID pParam) { return RunDownloadWorker<CQXFtp>(pParam, DownloadPackage); }
