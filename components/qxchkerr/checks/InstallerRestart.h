#pragma once
#include <windows.h>

#include <atomic>
#include <string>

// The retry rule: the installer that started us still holds its single-instance mutex while it
// ends, and a new installer started before then would refuse to run. So Retry first waits (by
// polling, bounded) until no object of the mutex's name exists, then starts Fennick.exe from
// this program's folder.

// The installer's mutex name for a package base name: the base name itself, or the installer's
// fixed name when the URL gives none (this must stay the same as Fennick.exe's InstanceMutexName).
std::wstring InstallerMutexName(const std::wstring& strBaseName);

// True while some process holds a mutex of this name (also when it belongs to another user).
bool IsInstallerRunning(const std::wstring& strMutexName);

enum class WaitOutcome { Ended, StillRunning, Cancelled };

// Polls every `pollMs` until the mutex is gone, at most `timeoutMs`; `cancel` ends the wait early.
WaitOutcome WaitForInstallerToEnd(const std::wstring& strMutexName, DWORD timeoutMs, DWORD pollMs,
                                  const std::atomic<bool>& cancel);

// Starts "<folder>\Fennick.exe" without arguments, in that folder, and does not wait for it.
// True when it started; false (last error kept) when it is missing or cannot start.
bool StartInstaller(const std::wstring& strFolder);
