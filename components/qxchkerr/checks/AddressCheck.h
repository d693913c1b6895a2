#pragma once
#include <string>

#include "checks/CheckFinding.h"
#include "config/UrlParts.h"

struct AddressCheckResult {
    CheckFinding finding;
    std::wstring strUrl;       // trimmed, as the installer keeps it
    CUrlParts parts;           // valid when the finding passed
    std::wstring strFileName;  // the local file name the installer derives from the URL path
};

// Judges the "DownloadString" value of Fennick.ini by the installer's own rules: "ERR" (missing)
// or blank is a missing configuration; the URL must split, name a host, use ftp, http or https,
// and end in a file name. For ftp every part must have an exact ANSI form, because the
// installer hands the FTP library 8-bit strings. A "Sha256" value (strPinValue, "ERR" when
// missing) that the installer would refuse fails the check too: nothing is fetched then.
AddressCheckResult CheckDownloadAddress(const std::wstring& strConfigValue, const std::wstring& strPinValue = L"ERR");
