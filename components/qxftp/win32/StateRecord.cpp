#include "win32/StateRecord.h"

#include <windows.h>

namespace qxftp {

namespace {

const char kSection[] = "Main";
const char kKey[] = "RemoteModified";
constexpr DWORD kCapacity = 64;

}  // namespace

std::string StateRecord::Read() const {
    char value[kCapacity] = {};
    const DWORD length = GetPrivateProfileStringA(kSection, kKey, "", value, kCapacity, m_path.c_str());
    if (length >= kCapacity - 2) return "?";
    return std::string(value, length);
}

bool StateRecord::Write(const std::string& stamp, Failure& failure) const {
    if (stamp.empty()) {
        if (GetFileAttributesA(m_path.c_str()) == INVALID_FILE_ATTRIBUTES) return true;
        if (Read().empty()) return true;
        if (WritePrivateProfileStringA(kSection, kKey, nullptr, m_path.c_str())) return true;
    } else if (WritePrivateProfileStringA(kSection, kKey, stamp.c_str(), m_path.c_str())) {
        return true;
    }
    return Fail(failure, QXFTP_E_LOCAL_FILE,
                "cannot record the modification time in " + m_path + " (error " + std::to_string(GetLastError()) + ")");
}

}  // namespace qxftp
