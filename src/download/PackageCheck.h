#pragma once
#include "download/DownloadFileOps.h"

class CFennickDlg;

enum class PinVerdict {
    Matches,     // no pin, or the file's SHA-256 equals it
    Differs,     // pinned and the file is another one
    Unverified,  // the file could not be read, or the user stopped the run during the check
};

// Checks a file against the package's pin from the dialog's configuration. Hashing reports
// progress as the transfers do, so the watchdog sees a long check as alive and a stop request
// ends it.
PinVerdict CheckAgainstPin(const std::wstring& path, CFennickDlg& dialog);

// The check after a download: true when the target may be started. A target that differs from
// the pin is deleted with its partial file and everything its state file records but the
// failure counter, so that the next run fetches it from the start.
bool VerifyFetchedPackage(const DownloadFiles& files, CFennickDlg& dialog);
