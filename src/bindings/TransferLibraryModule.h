#pragma once
#include <windows.h>

#include "SystemLibrary.h"

// How a binding tells the user that its library is unusable. The installer shows a message
// box without owner window; tests record the call instead.
typedef void (*LoadFailureNotifier)(const wchar_t* pszText, const wchar_t* pszCaption);
void ShowLoadFailureBox(const wchar_t* pszText, const wchar_t* pszCaption);

// Loads `fileName` from the directory of the running executable only, never from the search path.
// The library's own imports come from the system folder only: a winhttp.dll left beside the
// executable is not taken for the system's. Every binding loads its library through this.
UniqueModule LoadLibraryBesideExecutable(const wchar_t* fileName);

// An entry of a loaded library under its own function type; null when the library or the entry
// is missing. Every binding finds its entries through this.
template <typename Entry>
Entry FindEntry(const UniqueModule& library, const char* name) {
    return library ? reinterpret_cast<Entry>(GetProcAddress(library.Get(), name)) : nullptr;
}
