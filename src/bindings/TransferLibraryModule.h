#pragma once
#include <windows.h>

#include <memory>
#include <type_traits>

// Owns a module loaded with LoadLibraryW; frees it when it goes out of scope.
struct LibraryModuleDeleter {
    void operator()(HMODULE hModule) const { FreeLibrary(hModule); }
};
using LibraryModule = std::unique_ptr<std::remove_pointer_t<HMODULE>, LibraryModuleDeleter>;

// How a binding tells the user that its library is unusable. The installer shows a message
// box without owner window; tests record the call instead.
typedef void (*LoadFailureNotifier)(const wchar_t* pszText, const wchar_t* pszCaption);
void ShowLoadFailureBox(const wchar_t* pszText, const wchar_t* pszCaption);

// Loads `fileName` from the directory of the running executable only, never from the search path.
LibraryModule LoadLibraryBesideExecutable(const wchar_t* fileName);
