#pragma once
#include <windows.h>

#include <string>

// A fresh folder under %TEMP% for one test, removed with everything in it afterwards.
class CTestFolder {
public:
    CTestFolder();
    ~CTestFolder();
    CTestFolder(const CTestFolder&) = delete;
    CTestFolder& operator=(const CTestFolder&) = delete;

    // The folder's path, ending in "\".
    const std::wstring& Path() const { return m_strPath; }

private:
    std::wstring m_strPath;
};

// Writes `bytes` bytes into a new file; true when written.
bool WriteTestFile(const std::wstring& path, size_t bytes);

// The path without its trailing "\".
inline std::wstring WithoutSlash(const std::wstring& path) {
    return !path.empty() && path.back() == L'\\' ? path.substr(0, path.size() - 1) : path;
}
