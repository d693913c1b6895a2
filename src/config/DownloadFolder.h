#pragma once
#include <windows.h>

#include <string>

// The documents folder, a "\" when it does not end in one, then "Vantrel\Fennick\".
// Empty documents path gives empty text.
std::wstring ComposeDownloadFolder(const std::wstring& documentsPath);

// The download folder under the user's documents folder (CSIDL_PERSONAL); owner is the window
// that owns any shell interaction. Empty text when the shell cannot name the folder.
std::wstring QueryDocumentsDownloadFolder(HWND owner);
