#pragma once
#include <windows.h>

#include <type_traits>

#include "Handles.h"

// A Windows library that is not a known DLL (winhttp, crypt32, ...), loaded at run time from the
// system folder: importing it statically would let the loader take a copy from the program's
// folder before our first line runs. Entries are looked up by name; a missing library or entry
// leaves the pointer null and Resolve() false, so callers fail cleanly.
class SystemLibrary {
public:
    explicit SystemLibrary(const wchar_t* fileName)
        : m_module(LoadLibraryExW(fileName, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) {}

    template <typename Function>
    bool Resolve(Function& entry, const char* name) const {
        static_assert(std::is_pointer<Function>::value, "entries are function pointers");
        entry = m_module ? reinterpret_cast<Function>(GetProcAddress(m_module.Get(), name)) : nullptr;
        return entry != nullptr;
    }

private:
    UniqueModule m_module;
};

// Resolves `library`'s entry into the member of the same name, declared with the system
// header's own type: SYSTEM_ENTRY(lib, WinHttpOpen) fills `decltype(&::WinHttpOpen) WinHttpOpen`.
#define SYSTEM_ENTRY(library, name) (library).Resolve(name, #name)
