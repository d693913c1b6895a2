#include <windows.h>
#include <winhttp.h>

#include <memory>

#include "WideDecimal.h"
#include "checks/BoundedRun.h"
#include "checks/CertificateDiagnosis.h"
#include "checks/ServerCheck.h"
#include "checks/SystemEntries.h"

namespace {

ServerCheckResult Fail(CheckProblem problem, const std::wstring& detail, const ProxyChoice& proxy = ProxyChoice()) {
    ServerCheckResult result;
    result.finding = CheckFinding::Fail(problem, detail).Via(proxy.Name());
    return result;
}

// WINHTTP_CALLBACK_STATUS_SECURE_FAILURE tells which certificate test failed; the error code of
// the failed call alone (ERROR_WINHTTP_SECURE_FAILURE) does not.
void CALLBACK OnStatus(HINTERNET, DWORD_PTR context, DWORD status, LPVOID information, DWORD length) {
    if (status == WINHTTP_CALLBACK_STATUS_SECURE_FAILURE && context != 0 && information != nullptr &&
        length >= sizeof(DWORD))
        *reinterpret_cast<DWORD*>(context) |= *static_cast<const DWORD*>(information);
}

CheckProblem CertificateProblem(DWORD flags) {
    if (flags & (WINHTTP_CALLBACK_STATUS_FLAG_INVALID_CA)) return CheckProblem::CertificateUntrusted;
    if (flags & WINHTTP_CALLBACK_STATUS_FLAG_CERT_CN_INVALID) return CheckProblem::CertificateNameMismatch;
    if (flags & WINHTTP_CALLBACK_STATUS_FLAG_CERT_DATE_INVALID) return CheckProblem::CertificateExpired;
    return CheckProblem::SecureConnectionFailed;
}

CheckProblem ProblemOfError(DWORD error, DWORD secureFlags) {
    switch (error) {
    case ERROR_WINHTTP_NAME_NOT_RESOLVED: return CheckProblem::HostUnknown;
    case ERROR_WINHTTP_CANNOT_CONNECT: return CheckProblem::ConnectFailed;
    case ERROR_WINHTTP_TIMEOUT:
    case ERROR_WINHTTP_CONNECTION_ERROR: return CheckProblem::ServerSilent;
    case ERROR_WINHTTP_INVALID_SERVER_RESPONSE: return CheckProblem::NotExpectedServer;
    case ERROR_WINHTTP_SECURE_INVALID_CA: return CheckProblem::CertificateUntrusted;
    case ERROR_WINHTTP_SECURE_CERT_CN_INVALID: return CheckProblem::CertificateNameMismatch;
    case ERROR_WINHTTP_SECURE_CERT_DATE_INVALID: return CheckProblem::CertificateExpired;
    case ERROR_WINHTTP_SECURE_FAILURE: return CertificateProblem(secureFlags);
    case ERROR_WINHTTP_SECURE_CHANNEL_ERROR:
    case ERROR_WINHTTP_SECURE_INVALID_CERT:
    case ERROR_WINHTTP_SECURE_CERT_REVOKED:
    case ERROR_WINHTTP_SECURE_CERT_REV_FAILED:
    case ERROR_WINHTTP_SECURE_CERT_WRONG_USAGE: return CheckProblem::SecureConnectionFailed;
    default: return CheckProblem::UnexpectedResponse;
    }
}

// The finding for the status of a final (redirects already followed) response.
CheckProblem ProblemOfStatus(DWORD status) {
    if (status >= 200 && status <= 299) return CheckProblem::None;
    if (status == 401 || status == 403 || status == 407) return CheckProblem::AccessDenied;
    if (status == 404 || status == 410) return CheckProblem::FileNotFound;
    if (status == 503) return CheckProblem::ServerBusy;
    if (status >= 500 && status <= 599) return CheckProblem::ServerError;
    return CheckProblem::UnexpectedResponse;
}

// A decimal header value or the total after "/" of "bytes a-b/total"; -1 when there is none.
long long ParseSize(const std::wstring& text) {
    long long value = 0;
    size_t digits = 0;
    for (const wchar_t c : text) {
        if (c < L'0' || c > L'9') {
            if (digits > 0) break;
            if (c == L' ') continue;
            return -1;
        }
        if (++digits > 18) return -1;
        value = value * 10 + (c - L'0');
    }
    return digits == 0 ? -1 : value;
}

std::wstring QueryText(const WinHttpEntries& winHttp, HINTERNET request, DWORD id) {
    wchar_t buffer[256];
    DWORD bytes = sizeof(buffer);
    if (!winHttp.WinHttpQueryHeaders(request, id, WINHTTP_HEADER_NAME_BY_INDEX, buffer, &bytes,
                                     WINHTTP_NO_HEADER_INDEX))
        return std::wstring();
    return std::wstring(buffer, bytes / sizeof(wchar_t));
}

long long SizeOfResponse(const WinHttpEntries& winHttp, HINTERNET request, DWORD status) {
    if (status == 206) {
        const std::wstring range = QueryText(winHttp, request, WINHTTP_QUERY_CONTENT_RANGE);
        const size_t slash = range.find(L'/');
        return slash == std::wstring::npos ? -1 : ParseSize(range.substr(slash + 1));
    }
    return ParseSize(QueryText(winHttp, request, WINHTTP_QUERY_CONTENT_LENGTH));
}

// The request target exactly as configured (percent escapes are the server's to decode),
// query included, fragment dropped.
bool SplitForWinHttp(const WinHttpEntries& winHttp, const std::wstring& url, std::wstring& host, INTERNET_PORT& port,
                     std::wstring& object, bool& secure) {
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof(parts);
    parts.dwSchemeLength = static_cast<DWORD>(-1);
    parts.dwHostNameLength = static_cast<DWORD>(-1);
    parts.dwUrlPathLength = static_cast<DWORD>(-1);
    parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (!winHttp.WinHttpCrackUrl(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts)) return false;
    host.assign(parts.lpszHostName, parts.dwHostNameLength);
    port = parts.nPort;
    object.assign(parts.lpszUrlPath, parts.dwUrlPathLength);
    object.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    const size_t hash = object.find(L'#');
    if (hash != std::wstring::npos) object.resize(hash);
    if (object.empty()) object = L"/";
    secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
    return true;
}

struct Response {
    DWORD error = 0;        // 0 when a response arrived
    DWORD secureFlags = 0;  // WINHTTP_CALLBACK_STATUS_FLAG_* of a failed secure connection
    DWORD status = 0;
    long long size = -1;
};

Response Ask(const WinHttpEntries& winHttp, HINTERNET connection, const wchar_t* verb, const std::wstring& object,
             bool secure, bool viaProxy) {
    Response response;
    const UniqueWinHttp request = MakeWinHttpHandle(
        winHttp, winHttp.WinHttpOpenRequest(connection, verb, object.c_str(), nullptr, WINHTTP_NO_REFERER,
                                            WINHTTP_DEFAULT_ACCEPT_TYPES,
                                            (secure ? WINHTTP_FLAG_SECURE : 0) | WINHTTP_FLAG_ESCAPE_DISABLE |
                                                WINHTTP_FLAG_ESCAPE_DISABLE_QUERY));
    if (!request) {
        response.error = GetLastError();
        return response;
    }
    DWORD_PTR context = reinterpret_cast<DWORD_PTR>(&response.secureFlags);
    winHttp.WinHttpSetOption(request.Get(), WINHTTP_OPTION_CONTEXT_VALUE, &context, sizeof(context));
    winHttp.WinHttpSetStatusCallback(request.Get(), OnStatus, WINHTTP_CALLBACK_FLAG_SECURE_FAILURE, 0);

    // A ranged GET asks for one byte only; the body is never read.
    const wchar_t* headers = wcscmp(verb, L"GET") == 0 ? L"Range: bytes=0-0" : WINHTTP_NO_ADDITIONAL_HEADERS;
    const DWORD headersLength = headers == WINHTTP_NO_ADDITIONAL_HEADERS ? 0 : static_cast<DWORD>(-1L);
    if (!winHttp.WinHttpSendRequest(request.Get(), headers, headersLength, WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
        !winHttp.WinHttpReceiveResponse(request.Get(), nullptr)) {
        response.error = GetLastError();
        return response;
    }
    for (bool logonTried = false;; logonTried = true) {
        DWORD bytes = sizeof(response.status);
        if (!winHttp.WinHttpQueryHeaders(request.Get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                                         WINHTTP_HEADER_NAME_BY_INDEX, &response.status, &bytes,
                                         WINHTTP_NO_HEADER_INDEX)) {
            response.error = ERROR_WINHTTP_INVALID_SERVER_RESPONSE;
            return response;
        }
        // As QXHttp does: the user's Windows login once, for a proxy that takes Negotiate or NTLM.
        if (!viaProxy || logonTried || response.status != HTTP_STATUS_PROXY_AUTH_REQ ||
            !PrepareProxyLogon(winHttp.Proxy(), request.Get()))
            break;
        if (!winHttp.WinHttpSendRequest(request.Get(), headers, headersLength, WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
            !winHttp.WinHttpReceiveResponse(request.Get(), nullptr)) {
            response.error = GetLastError();
            return response;
        }
    }
    response.size = SizeOfResponse(winHttp, request.Get(), response.status);
    return response;
}

ServerCheckResult Probe(const std::wstring& url, DWORD timeoutMs, const ProxyChoice& proxy) {
    // Declared first: every handle below is closed before the library is released.
    const WinHttpEntries winHttp;
    if (!winHttp.ready) return Fail(CheckProblem::UnexpectedResponse, L"winhttp.dll unusable");
    std::wstring host, object;
    INTERNET_PORT port = 0;
    bool secure = false;
    if (!SplitForWinHttp(winHttp, url, host, port, object, secure))
        return Fail(CheckProblem::UnexpectedResponse, L"WinHTTP cannot split the URL");

    const UniqueWinHttp session = MakeWinHttpHandle(
        winHttp, proxy.Direct() ? winHttp.WinHttpOpen(L"QXChkErr/1.0", WINHTTP_ACCESS_TYPE_NO_PROXY,
                                                      WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0)
                                : winHttp.WinHttpOpen(L"QXChkErr/1.0", WINHTTP_ACCESS_TYPE_NAMED_PROXY,
                                                      proxy.Name().c_str(), WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session) return Fail(CheckProblem::UnexpectedResponse, L"WinHttpOpen error " + WideDecimal(GetLastError()));
    const int timeout = static_cast<int>(timeoutMs);
    winHttp.WinHttpSetTimeouts(session.Get(), timeout, timeout, timeout, timeout);
    const UniqueWinHttp connection =
        MakeWinHttpHandle(winHttp, winHttp.WinHttpConnect(session.Get(), host.c_str(), port, 0));
    if (!connection) return Fail(CheckProblem::UnexpectedResponse, L"WinHttpConnect error " + WideDecimal(GetLastError()));

    const bool viaProxy = !proxy.Direct();
    Response response = Ask(winHttp, connection.Get(), L"HEAD", object, secure, viaProxy);
    // Some servers do not implement HEAD for downloads; a one-byte GET asks the same question.
    if (response.error == 0 && (response.status == 405 || response.status == 501))
        response = Ask(winHttp, connection.Get(), L"GET", object, secure, viaProxy);
    if (response.error != 0) {
        std::wstring detail = L"WinHTTP error " + WideDecimal(response.error);
        if (viaProxy && (response.error == ERROR_WINHTTP_CANNOT_CONNECT || response.error == ERROR_WINHTTP_NAME_NOT_RESOLVED))
            return Fail(CheckProblem::ProxyUnreachable, L"proxy " + proxy.Name() + L": " + detail, proxy);
        CheckProblem problem = ProblemOfError(response.error, response.secureFlags);
        // A refused certificate without a named reason is looked at more closely.
        if (problem == CheckProblem::SecureConnectionFailed && secure)
            problem = DiagnoseServerCertificate(winHttp, connection.Get(), host, detail);
        return Fail(problem, detail);
    }
    const CheckProblem problem = ProblemOfStatus(response.status);
    const std::wstring detail = L"HTTP status " + WideDecimal(response.status);
    if (viaProxy && response.status == HTTP_STATUS_PROXY_AUTH_REQ)
        return Fail(CheckProblem::ProxyLoginRequired, L"proxy " + proxy.Name() + L": " + detail, proxy);
    if (problem != CheckProblem::None) return Fail(problem, detail);
    return ServerCheckResult{CheckFinding::Pass(detail).Via(proxy.Name()), response.size};
}

}  // namespace

ServerCheckResult CheckHttpServer(const std::wstring& strUrl, DWORD timeoutMs, const ProxyChoice& proxy) {
    // WinHTTP bounds each step, not the sum of them: the whole probe is bounded here.
    ServerCheckResult late = Fail(CheckProblem::ServerSilent, L"no answer in time");
    return RunWithin<ServerCheckResult>(
        timeoutMs, [strUrl, timeoutMs, proxy]() { return Probe(strUrl, timeoutMs, proxy); }, late);
}
