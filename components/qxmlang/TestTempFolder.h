#pragma once
// Test support only: a scratch folder of files, removed at the end.
#include <windows.h>

#include <string>
#include <vector>

class TestTempFolder {
public:
    TestTempFolder() {
        wchar_t temp[MAX_PATH + 1] = {};
        const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
        if (length == 0 || length > MAX_PATH) return;
        static unsigned int counter = 0;
        for (int attempt = 0; attempt < 1000; ++attempt) {
            const std::wstring candidate = std::wstring(temp, length) + L"qxmlang-unit-" +
                                           std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++counter);
            if (CreateDirectoryW(candidate.c_str(), nullptr)) {
                m_path = candidate;
                return;
            }
        }
    }
    ~TestTempFolder() {
        for (const std::wstring& file : m_files) DeleteFileW(file.c_str());
        if (!m_path.empty()) RemoveDirectoryW(m_path.c_str());
    }
    TestTempFolder(const TestTempFolder&) = delete;
    TestTempFolder& operator=(const TestTempFolder&) = delete;

    bool Valid() const { return !m_path.empty(); }
    std::wstring File(const std::wstring& name) const { return m_path + L"\\" + name; }

    // Writes the bytes as the file `name`; returns its full path (empty on failure).
    std::wstring Write(const std::wstring& name, const std::string& bytes) {
        if (m_path.empty()) return std::wstring();
        const std::wstring path = File(name);
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return std::wstring();
        DWORD written = 0;
        const BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(file);
        m_files.push_back(path);
        return ok && written == bytes.size() ? path : std::wstring();
    }

private:
    std::wstring m_path;
    std::vector<std::wstring> m_files;
};
