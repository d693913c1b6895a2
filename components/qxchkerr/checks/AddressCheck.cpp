#include "checks/AddressCheck.h"

#include "config/PackagePin.h"
#include "config/PathHelper.h"

namespace {

std::wstring Trim(const std::wstring& text) {
    const wchar_t* const blanks = L" \t\r\n";
    const size_t first = text.find_first_not_of(blanks);
    if (first == std::wstring::npos) return std::wstring();
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

bool HasExactAnsiForm(CPathHelper& helper, const std::wstring& text) {
    std::string ansi;
    return helper.WideToAnsiExact(text, ansi) == 1;
}

}  // namespace

AddressCheckResult CheckDownloadAddress(const std::wstring& strConfigValue, const std::wstring& strPinValue) {
    AddressCheckResult result;
    if (strConfigValue == L"ERR") {
        result.finding = CheckFinding::Fail(CheckProblem::ConfigMissing, L"Fennick.ini or its DownloadString is missing");
        return result;
    }
    result.strUrl = Trim(strConfigValue);
    if (result.strUrl.empty()) {
        result.finding = CheckFinding::Fail(CheckProblem::ConfigMissing, L"DownloadString is empty");
        return result;
    }
    CUrlParts parts;
    if (!SplitUrl(result.strUrl, parts)) {
        result.finding = CheckFinding::Fail(CheckProblem::AddressMalformed, L"the URL does not split");
        return result;
    }
    if (parts.m_nScheme != URL_SCHEME_FTP && parts.m_nScheme != URL_SCHEME_HTTP &&
        parts.m_nScheme != URL_SCHEME_HTTPS) {
        result.finding = CheckFinding::Fail(CheckProblem::SchemeUnsupported, L"scheme is not ftp, http or https");
        return result;
    }
    if (parts.m_strHostName.empty() || parts.m_nPort <= 0) {
        result.finding = CheckFinding::Fail(CheckProblem::AddressMalformed, L"no host or port");
        return result;
    }
    CPathHelper helper;
    result.strFileName = helper.GetFileName(parts.m_strUrlPath);
    if (result.strFileName.empty()) {
        result.finding = CheckFinding::Fail(CheckProblem::NoFileName, L"no file name in path: " + parts.m_strUrlPath);
        return result;
    }
    if (parts.m_nScheme == URL_SCHEME_FTP) {
        const std::wstring userName = parts.m_strUserName.empty() ? L"anonymous" : parts.m_strUserName;
        const std::wstring* const sent[] = {&parts.m_strHostName, &userName, &parts.m_strPassword, &parts.m_strUrlPath};
        for (const std::wstring* part : sent) {
            if (!HasExactAnsiForm(helper, *part)) {
                result.finding = CheckFinding::Fail(CheckProblem::AddressNotTransmittable,
                                                    L"a part of the URL has no ANSI form");
                return result;
            }
        }
    }
    if (ParsePackagePin(strPinValue).state == PinState::Malformed) {
        result.finding = CheckFinding::Fail(CheckProblem::PinMalformed, L"Sha256 is not 64 hexadecimal digits");
        return result;
    }
    result.parts = parts;
    result.finding = CheckFinding::Pass();
    return result;
}
