#pragma once
// The one scratch-folder fixture of the unit tests (header only, so it stays out of the products):
// a fresh folder under %TEMP%, removed with everything in it.
#include <windows.h>

#include <filesystem>
#include <string>

namespace fennick_testing {

class ScratchFolder {
public:
    ScratchFolder() {
        static unsigned counter = 0;
        const std::string name = "fennick-test-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter);
        m_path = (std::filesystem::temp_directory_path() / name).wstring();
        std::filesystem::remove_all(m_path, m_error);
        std::filesystem::create_directory(m_path, m_error);
    }
    ~ScratchFolder() { std::filesystem::remove_all(m_path, m_error); }
    const std::wstring& Path() const { return m_path; }
    std::wstring operator/(const std::wstring& name) const { return m_path + L"\\" + name; }

private:
    std::wstring m_path;
    std::error_code m_error;
};

}  // namespace fennick_testing
