#pragma once
#include <windows.h>

#include <string>

#include "checks/CheckFinding.h"

// What the checks need to know; the program fills it from Fennick.ini and the shell.
struct CheckerInputs {
    std::wstring strConfigValue;     // "DownloadString" as read ("ERR" when missing)
    std::wstring strDownloadFolder;  // Documents\Vantrel\Fennick\ (ends in "\"), empty if unknown
    std::wstring strPinValue;        // "Sha256" as read ("ERR" when missing)
};

// Time bounds of the network checks. The local checks need none.
struct CheckBudgets {
    DWORD resolveMs = 5000;
    DWORD connectMs = 5000;
    DWORD serverMs = 8000;  // FTP needs four exchanges (greeting, log-on, type, size)
};

// Receives each check's progress; called on the thread that runs the sequence.
class ICheckObserver {
public:
    virtual ~ICheckObserver() = default;
    virtual void OnCheckStarted(CheckId id) = 0;
    virtual void OnCheckFinished(CheckId id, const CheckFinding& finding) = 0;
    // Asked between checks; true ends the sequence early.
    virtual bool StopRequested() = 0;
};

// Runs every check in CheckId order. The network checks after a failed one are skipped
// (EarlierCheckFailed); the folder and disk checks always run.
void RunCheckSequence(const CheckerInputs& inputs, const CheckBudgets& budgets, ICheckObserver& observer);
