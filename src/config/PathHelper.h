#pragma once
#include <windows.h>

#include <memory>
#include <string>

// Small path, string and file operations shared by the configuration, the download workers and
// the completion handling. Both "\" and "/" count as separators, so the same calls serve local
// paths and URLs. Stateless: create a local instance and call it from any thread.
//
// Capacities are enforced: a kept last component of 2048 characters or more, a GetFileName /
// GetBaseName input of 8192 characters or more, or a QueryFileSize path of 2048 characters or
// more fails the operation (0 / empty text / 0) instead of being truncated.
class CPathHelper {
public:
    static const size_t COMPONENT_CAPACITY = 2048;  // kept last component, terminator included
    static const size_t PATH_CAPACITY = 8192;       // GetFileName / GetBaseName input
    static const size_t SIZE_QUERY_CAPACITY = 2048; // QueryFileSize / QueryFileSize64 path

    // In place: the text after the last separator. 1 when a separator was found and the
    // component fits; 0 (text unchanged) for null, empty, no separator or an oversized component.
    int StripDirectory(wchar_t* pszText);
    // The last component of a path; empty when there is no separator or the input is oversized.
    std::wstring GetFileName(const std::wstring& path);
    // As StripDirectory, then cuts the kept component at its last ".".
    int StripDirectoryAndExtension(wchar_t* pszText);
    // The last component without its extension; empty as GetFileName.
    std::wstring GetBaseName(const std::wstring& path);
    // In place: cuts the text at its last separator (no trailing separator remains).
    // 1 also when there is none; 0 only for a null pointer.
    int StripFileName(wchar_t* pszText);

    std::wstring IntToString(int nValue);
    std::wstring Int64ToString(long long nValue);

    // 1 when a directory search on the path finds something (file or directory).
    int PathExists(const std::wstring& path);
    // Creates every missing directory level; failures are ignored. A leading "\\" (network or
    // "\\?\" path) is kept, so such paths are created where they name.
    void CreateDirectories(const std::wstring& path);

    // Text in the system ANSI code page, terminated; characters without an ANSI form are
    // replaced (lossy). Null only when memory cannot be had.
    std::unique_ptr<char[]> WideToAnsi(const std::wstring& text);
    // Text in the system ANSI code page; 0 (out unchanged) when any character has no exact
    // ANSI form, so a file or user name is never silently changed into another one.
    int WideToAnsiExact(const std::wstring& text, std::string& out);

    // Size of an existing file, low 32 bits; 0 when it cannot be opened or read.
    unsigned int QueryFileSize(const std::wstring& path);
    // Full 64-bit size of an existing file; 1 and size set, or 0 (size unchanged).
    int QueryFileSize64(const std::wstring& path, unsigned long long& size);
};
