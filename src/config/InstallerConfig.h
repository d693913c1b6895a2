#pragma once
#include <windows.h>

#include <string>

#include "config/PackagePin.h"

// The installer's configuration: the package URL from "Fennick.ini" beside the module
// (section "Main", key "DownloadString"), kept whole, split for the download workers, and the
// package's base name that names the single-instance mutex; and the optional SHA-256 pin of the
// package (key "Sha256").
class CInstallerConfig {
public:
    explicit CInstallerConfig(HMODULE hModule = nullptr);

    // 1 when the value was read and split. 0 when the configuration path cannot be built, the
    // value is missing ("ERR"), or the URL does not split; after a failed split m_strUrl and
    // m_strBaseName hold the new values and the split fields keep their old ones.
    int Load();
    // "<directory of m_hModule>\<fileName>" (the shared MakeModuleFilePath); 1/0 (out unchanged on 0).
    int MakeModuleFilePath(std::wstring& out, const std::wstring& fileName) const;

    std::wstring m_strHostName, m_strUserName, m_strPassword, m_strUrlPath;
    int m_nPort = 0;
    std::wstring m_strBaseName;
    int m_nScheme = 0;  // INTERNET_SCHEME_* numbering: ftp 1, http 3, https 4
    std::wstring m_strUrl;
    PackagePin m_pin;
    HMODULE m_hModule;
};
