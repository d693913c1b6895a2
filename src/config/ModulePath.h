#pragma once
#include <windows.h>

#include <cstddef>
#include <string>

// Paths of files beside a module hold at most this many characters, terminator included: past
// MAX_PATH for long install folders, and bounded.
constexpr size_t MODULE_PATH_CAPACITY = 4096;

// The one bounded way to reach a file that lies beside a module (the executable when
// hModule is null): "<module directory>\<fileName>". The configuration, every binding and the
// hand-off to the checker reach their files through it.
// Returns 1 and sets out; returns 0 and leaves out unchanged when the module's path cannot
// be read whole or the result would not fit in MODULE_PATH_CAPACITY characters. A long install
// path therefore fails cleanly instead of being truncated.
int MakeModuleFilePath(HMODULE hModule, const std::wstring& fileName, std::wstring& out);

// The directory of a module without a trailing backslash; empty when it cannot be read whole.
std::wstring ModuleDirectory(HMODULE hModule);
