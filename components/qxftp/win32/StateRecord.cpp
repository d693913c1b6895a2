#include "win32/StateRecord.h"

#include <windows.h>

#include "win32/LocalPath.h"

namespace qxftp {

namespace {

const wchar_t SECTION[] = L"Main";
const wchar_t KEY[] = L"RemoteModified";
constexpr DWORD CAPACITY = 64;

}  // namespace

std::string StateRecord::Read() const {
    if (m_path.size() >= MAX_PATH) return "?";  // the profile functions are not long-path aware
    wchar_t value[CAPACITY] = {};
    const DWORD length = GetPrivateProfileStringW(SECTION, KEY, L"", value, CAPACITY, m_path.c_str());
    if (length >= CAPACITY - 2) return "?";
    // A stamp is digits (MDTM); anything else equals no stamp a server sends.
    std::string stamp;
    for (DWORD i = 0; i < length; ++i) stamp += value[i] < 0x80 ? static_cast<char>(value[i]) : '?';
    return stamp;
}

bool StateRecord::Write(const std::string& stamp, Failure& failure) const {
    if (m_path.size() >= MAX_PATH)
        return Fail(failure, QXFTP_E_LOCAL_FILE, "the state file's path is too long: " + Utf8(m_path));
    if (stamp.empty()) {
        if (GetFileAttributesW(m_path.c_str()) == INVALID_FILE_ATTRIBUTES) return true;
        if (Read().empty()) return true;
        if (WritePrivateProfileStringW(SECTION, KEY, nullptr, m_path.c_str())) return true;
    } else if (WritePrivateProfileStringW(SECTION, KEY, std::wstring(stamp.begin(), stamp.end()).c_str(),
                                          m_path.c_str())) {
        return true;
    }
    const DWORD error = GetLastError();
    return Fail(failure, QXFTP_E_LOCAL_FILE,
                "cannot record the modification time in " + Utf8(m_path) + " (error " + std::to_string(error) + ")");
}

}  // namespace qxftp
