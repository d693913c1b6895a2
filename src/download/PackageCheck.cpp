#include "download/PackageCheck.h"

#include <windows.h>

#include "config/FileDigest.h"
#include "download/TransferProgress.h"
#include "ui/FennickDlg.h"

namespace {
// Reports during a long hash often enough for the watchdog and a prompt stop, rarely enough
// to cost nothing.
constexpr ULONGLONG HASH_REPORT_INTERVAL_MS = 500;
}  // namespace

PinVerdict CheckAgainstPin(const std::wstring& path, CFennickDlg& dialog) {
    const PackagePin& pin = dialog.m_config.m_pin;
    if (pin.state == PinState::Absent) return PinVerdict::Matches;
    if (pin.state != PinState::Valid) return PinVerdict::Unverified;
    ULONGLONG lastReportMs = GetTickCount64();
    bool stopped = false;
    const auto keepGoing = [&] {
        const ULONGLONG nowMs = GetTickCount64();
        if (nowMs - lastReportMs < HASH_REPORT_INTERVAL_MS) return true;
        lastReportMs = nowMs;
        stopped = TransferProgressCallback(1000, &dialog) == 0;
        return !stopped;
    };
    Sha256Digest digest{};
    if (!ComputeFileSha256(path, digest, keepGoing) || stopped) return PinVerdict::Unverified;
    return digest == pin.digest ? PinVerdict::Matches : PinVerdict::Differs;
}

bool VerifyFetchedPackage(const DownloadFiles& files, CFennickDlg& dialog) {
    switch (CheckAgainstPin(files.strTargetPath, dialog)) {
    case PinVerdict::Matches: return true;
    case PinVerdict::Unverified: return false;
    case PinVerdict::Differs: break;
    }
    DeleteFileIfPresent(files.strTargetPath);
    DeleteFileIfPresent(files.strPartialPath);
    ForgetDownloadState(files);
    return false;
}
