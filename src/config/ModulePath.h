#pragma once
#include <windows.h>

#include <cstddef>
#include <string>

// The one bounded way to reach a file that lies beside a module (the executable when
// hModule is null): "<module directory>\<fileName>".
// Returns 1 and sets out; returns 0 and leaves out unchanged when the module's path cannot
// be read whole or the result would not fit in `capacity` characters (terminator included).
// A long install path therefore fails cleanly instead of being truncated.
int MakeModuleFilePath(HMODULE hModule, const std::wstring& fileName, std::wstring& out,
                       size_t capacity = 4096);

// The directory of a module without a trailing backslash; empty when it cannot be read whole.
std::wstring ModuleDirectory(HMODULE hModule);
