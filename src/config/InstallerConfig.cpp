#include "config/InstallerConfig.h"

#include "config/IniFile.h"
#include "config/ModulePath.h"
#include "config/PackagePin.h"
#include "config/PathHelper.h"
#include "config/UrlParts.h"

namespace {

std::wstring Trim(const std::wstring& text) {
    const wchar_t* const blanks = L" \t\r\n";
    const size_t first = text.find_first_not_of(blanks);
    if (first == std::wstring::npos) return std::wstring();
    const size_t last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

}  // namespace

CInstallerConfig::CInstallerConfig(HMODULE hModule) : m_hModule(hModule) {}

int CInstallerConfig::MakeModuleFilePath(std::wstring& out, const std::wstring& fileName) const {
    return ::MakeModuleFilePath(m_hModule, fileName, out);
}

int CInstallerConfig::Load() {
    std::wstring configPath;
    if (!MakeModuleFilePath(configPath, L"Fennick.ini")) return 0;  // no path, nothing to read

    const std::wstring value = ReadIniString(configPath, L"Main", L"DownloadString");
    if (value == L"ERR") {
        OutputDebugStringW(L"Read ini error!");
        return 0;
    }

    m_pin = ParsePackagePin(ReadIniString(configPath, L"Main", L"Sha256"));
    m_strUrl = Trim(value);
    CPathHelper pathHelper;
    m_strBaseName = Trim(pathHelper.GetBaseName(m_strUrl));

    CUrlParts parts;
    if (!SplitUrl(m_strUrl, parts)) return 0;
    m_strHostName = parts.m_strHostName;
    m_strUserName = parts.m_strUserName;
    m_strPassword = parts.m_strPassword;
    m_strUrlPath = parts.m_strUrlPath;
    m_nPort = parts.m_nPort & 0xFFFF;
    m_nScheme = parts.m_nScheme;
    return 1;
}
