#include <string>

#include "bindings/QXHttp.h"
#include "config/PathHelper.h"
#include "download/DownloadFileOps.h"
#include "download/DownloadThreads.h"
#include "download/PackageCheck.h"
#include "download/DownloadWorker.h"
#include "download/ProgressReport.h"
#include "download/TransferProgress.h"
#include "ui/FennickDlg.h"

namespace {
// Most redirects QXHttp.dll follows.
constexpr int MAX_REDIRECTS = 10;
// The URL and the target path are handed over from buffers of this many characters.
constexpr size_t ARGUMENT_CAPACITY = 4096;

// After a reported success whose partial file could not be moved: a library may write the target
// directly, which is fine only when there is no partial file left and the target is whole.
bool TargetHoldsWholePackage(const DownloadFiles& files) {
    CPathHelper paths;
    if (paths.PathExists(files.strPartialPath)) return false;
    unsigned long long targetSize = 0;
    if (!paths.QueryFileSize64(files.strTargetPath, targetSize)) return false;
    const std::optional<unsigned long long> recorded = ReadRecordedSize(files.strStateFile);
    return !recorded || *recorded == 0 || *recorded == targetSize;
}

bool DownloadPackage(CQXHttp& http, CFennickDlg& dialog) {
    CPathHelper paths;
    const std::wstring folder = dialog.m_strDownloadFolder;
    // Without a documents folder every path below would be relative to wherever we run.
    if (folder.empty()) return false;
    paths.CreateDirectories(folder);

    const DownloadFiles files = MakeDownloadFiles(folder, paths.GetFileName(dialog.m_config.m_strUrlPath));
    dialog.m_strTargetPath = files.strTargetPath;
    dialog.m_strSizeFile = files.strStateFile;
    dialog.m_strRetryFile = files.strStateFile;
    // A pin that cannot be read must not let any file start; it is counted like any failure.
    const PackagePin& pin = dialog.m_config.m_pin;
    if (pin.state == PinState::Malformed) return false;

    const std::wstring& url = dialog.m_config.m_strUrl;
    if (url.size() >= ARGUMENT_CAPACITY || files.strTargetPath.size() >= ARGUMENT_CAPACITY) return false;

    dialog.m_nTotalSize = 0;
    // Only a pinned package may arrive without a length: its hash proves it whole.
    const unsigned int flags = pin.state == PinState::Valid ? CQXHttp::ACCEPT_UNSIZED_BODY : 0;
    if (http.DownloadFileWithFlags(url.c_str(), files.strTargetPath.c_str(), TransferProgressCallback, &dialog,
                                   MAX_REDIRECTS, flags) != 1) {
        return false;
    }
    if (!MovePartialToTarget(files) && !TargetHoldsWholePackage(files)) return false;
    return VerifyFetchedPackage(files, dialog);
}
}  // namespace

DWORD WINAPI HttpDownloadThread(LPVOID pParam) { return RunDownloadWorker<CQXHttp>(pParam, DownloadPackage); }
