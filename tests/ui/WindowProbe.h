#pragma once
#include <windows.h>

#include <string>
#include <vector>

// Looking at another process's windows: finding them and describing them as JSON.

std::wstring ClassNameOf(HWND hWnd);
std::wstring TextOf(HWND hWnd);   // WM_GETTEXT, bounded
DWORD ProcessOf(HWND hWnd);

// Visible or hidden top-level windows of a process (all classes).
std::vector<HWND> TopLevelWindowsOf(DWORD pid);

// The progress dialog of a process: a #32770 window with a progress bar 1000. Null if none.
HWND FindProgressDialog(DWORD pid);
// A visible message box (a #32770 with a 0xFFFF text) owned by owner, or of pid without owner.
HWND FindOwnedMessageBox(HWND owner);
std::vector<HWND> FindOwnerlessMessageBoxes(DWORD pid /* 0 = any process */);

std::string DescribeDialog(HWND dialog);
std::string DescribeMessageBox(HWND box);
