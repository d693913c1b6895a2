#include "HttpDownload.h"

#include <vector>

#include "RedirectRule.h"

namespace {
// Everything before the body (proxy lookup, name resolution, connect, TLS, the response headers,
// every redirect) shares one budget shorter than the installer's 20-second watchdog, so a dead
// or endlessly slow server ends the call here, not by a killed thread. A body that pauses is
// waited for longer: the caller's watchdog decides about stalls.
constexpr ULONGLONG BEFORE_BODY_BUDGET_MS = 15000;
constexpr DWORD BODY_RECEIVE_TIMEOUT_MS = 60000;
constexpr ULONGLONG FLUSH_INTERVAL_MS = 1000;
// Header values longer than this are not headers we can use.
constexpr DWORD MAX_HEADER_CHARS = 8192;

enum class HeaderResult { Absent, Present, Unusable };

HeaderResult QueryHeader(HINTERNET request, DWORD id, std::wstring& value) {
    DWORD bytes = 0;
    if (WinHttpQueryHeaders(request, id, WINHTTP_HEADER_NAME_BY_INDEX, WINHTTP_NO_OUTPUT_BUFFER, &bytes,
                            WINHTTP_NO_HEADER_INDEX)) {
        value.clear();
        return HeaderResult::Present;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_WINHTTP_HEADER_NOT_FOUND) return HeaderResult::Absent;
    if (error != ERROR_INSUFFICIENT_BUFFER || bytes / sizeof(wchar_t) > MAX_HEADER_CHARS) return HeaderResult::Unusable;
    std::vector<wchar_t> buffer(bytes / sizeof(wchar_t) + 1, L'\0');
    DWORD size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    if (!WinHttpQueryHeaders(request, id, WINHTTP_HEADER_NAME_BY_INDEX, buffer.data(), &size,
                             WINHTTP_NO_HEADER_INDEX)) {
        return HeaderResult::Unusable;
    }
    value.assign(buffer.data(), size / sizeof(wchar_t));
    return HeaderResult::Present;
}

std::wstring HeaderOrEmpty(HINTERNET request, DWORD id) {
    std::wstring value;
    return QueryHeader(request, id, value) == HeaderResult::Present ? value : std::wstring();
}

void SetPreferredTlsVersions(HINTERNET session) {
    // TLS 1.2 and 1.3 where the system has 1.3; older systems reject the 1.3 flag, and a
    // system that knows neither keeps its own defaults.
    DWORD protocols = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2 | WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3;
    if (WinHttpSetOption(session, WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof(protocols))) return;
    protocols = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2;
    WinHttpSetOption(session, WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof(protocols));
}
}  // namespace

CHttpDownload::CHttpDownload(std::wstring url, const std::wstring& targetPath, QXPROGRESSCALLBACK callback,
                             void* context, int maxRedirects, bool acceptUnsizedBody)
    : m_url(std::move(url)),
      m_callback(callback),
      m_context(context),
      m_maxRedirects(maxRedirects < 0 ? 0 : maxRedirects),
      m_acceptUnsizedBody(acceptUnsizedBody),
      m_partialPath(targetPath + L"_tmp"),
      m_state(targetPath + L"_tmp_sz") {}

bool CHttpDownload::Report(int perMille) {
    if (m_callback == nullptr) return true;
    return m_callback(perMille, m_context) != 0;
}

bool CHttpDownload::UseSessionFor(const ProxyChoice& proxy) {
    const std::wstring name = proxy.Name();
    if (m_session && name == m_sessionProxy) return true;
    // The proxy belongs to the session: Wine ignores a proxy set on the request alone. A hop to a
    // host with another proxy answer gets a session of its own.
    m_session.Reset();
    m_session = UniqueWinHttp(
        proxy.Direct() ? WinHttpOpen(L"QXHttp/1.0", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                     WINHTTP_NO_PROXY_BYPASS, 0)
                       : WinHttpOpen(L"QXHttp/1.0", WINHTTP_ACCESS_TYPE_NAMED_PROXY, name.c_str(),
                                     WINHTTP_NO_PROXY_BYPASS, 0),
        WinHttpCloseHandle);
    if (!m_session) return false;
    m_sessionProxy = name;
    SetPreferredTlsVersions(m_session.Get());
    // HTTP/1.1 only (WinHTTP's default): HTTP/2 brings nothing to one large download, and its
    // answers may come without Content-Length, which an unpinned package must have.
    return true;
}

DWORD CHttpDownload::TimeLeftBeforeBody() const {
    const ULONGLONG spent = GetTickCount64() - m_startMs;
    return spent >= BEFORE_BODY_BUDGET_MS ? 0 : static_cast<DWORD>(BEFORE_BODY_BUDGET_MS - spent);
}

bool CHttpDownload::SendAndReceive(HINTERNET request) {
    return WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0) &&
           WinHttpReceiveResponse(request, nullptr);
}

bool CHttpDownload::Send(const std::wstring& url, const RequestPlan& plan, Exchange& exchange) {
    URL_COMPONENTS parts;
    ZeroMemory(&parts, sizeof(parts));
    parts.dwStructSize = sizeof(parts);
    parts.dwSchemeLength = static_cast<DWORD>(-1);
    parts.dwHostNameLength = static_cast<DWORD>(-1);
    parts.dwUrlPathLength = static_cast<DWORD>(-1);
    parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (!WinHttpCrackUrl(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts)) return false;
    if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS) return false;
    const bool secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
    const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
    if (TimeLeftBeforeBody() == 0) return false;
    const ProxyChoice proxy =
        LookUpProxy(LinkedProxyEntries(), url, host, parts.nPort, secure, TimeLeftBeforeBody());
    if (!UseSessionFor(proxy)) return false;
    const DWORD left = TimeLeftBeforeBody();
    const int leftMs = static_cast<int>(left);
    if (left == 0 || !WinHttpSetTimeouts(m_session.Get(), leftMs, leftMs, leftMs, leftMs)) return false;
    // Path and query go out as configured (the fragment is never sent).
    std::wstring object(parts.lpszUrlPath, parts.dwUrlPathLength);
    object.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    const size_t hash = object.find(L'#');
    if (hash != std::wstring::npos) object.resize(hash);
    if (object.empty()) object = L"/";

    exchange.connection =
        UniqueWinHttp(WinHttpConnect(m_session.Get(), host.c_str(), parts.nPort, 0), WinHttpCloseHandle);
    if (!exchange.connection) return false;
    // WinHTTP's default escaping turns raw blanks and non-ASCII characters into escapes and
    // leaves existing %xx sequences alone.
    const DWORD flags = secure ? WINHTTP_FLAG_SECURE : 0;
    exchange.request = UniqueWinHttp(WinHttpOpenRequest(exchange.connection.Get(), L"GET", object.c_str(), nullptr,
                                                        WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, flags),
                                     WinHttpCloseHandle);
    HINTERNET request = exchange.request.Get();
    if (request == nullptr) return false;

    // Redirects are ours to follow: bounded, and never from https down to http.
    DWORD noRedirects = WINHTTP_DISABLE_REDIRECTS;
    if (!WinHttpSetOption(request, WINHTTP_OPTION_DISABLE_FEATURE, &noRedirects, sizeof(noRedirects))) return false;
    DWORD responseTimeout = left;
    if (!WinHttpSetOption(request, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &responseTimeout,
                          sizeof(responseTimeout))) {
        return false;
    }
    // Certificate checks are left at WinHTTP's defaults (full verification); nothing here
    // can relax them.
    // The range goes on the request itself, so that a second send after a proxy log-on carries it once.
    const std::wstring headers = RangeHeaders(plan);
    if (!headers.empty() && !WinHttpAddRequestHeaders(request, headers.c_str(), static_cast<DWORD>(headers.size()),
                                                      WINHTTP_ADDREQ_FLAG_ADD | WINHTTP_ADDREQ_FLAG_REPLACE)) {
        return false;
    }
    if (!SendAndReceive(request)) return false;
    // A proxy that asks for a login gets the user's Windows login once, if it takes Negotiate or
    // NTLM; its second refusal, or Basic alone, is a failure for the caller to count.
    DWORD status = 0;
    DWORD size = sizeof(status);
    if (!proxy.Direct() &&
        WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                            WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX) &&
        status == HTTP_STATUS_PROXY_AUTH_REQ) {
        if (!PrepareProxyLogon(LinkedProxyEntries(), request) || TimeLeftBeforeBody() == 0 ||
            !SendAndReceive(request)) {
            return false;
        }
    }
    DWORD bodyTimeout = BODY_RECEIVE_TIMEOUT_MS;
    return WinHttpSetOption(request, WINHTTP_OPTION_RECEIVE_TIMEOUT, &bodyTimeout, sizeof(bodyTimeout)) != FALSE;
}

bool CHttpDownload::ReadFacts(HINTERNET request, ResponseFacts& facts) {
    DWORD status = 0;
    DWORD size = sizeof(status);
    if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX)) {
        return false;
    }
    facts.status = static_cast<int>(status);
    const HeaderResult length = QueryHeader(request, WINHTTP_QUERY_CONTENT_LENGTH, facts.contentLength);
    const HeaderResult range = QueryHeader(request, WINHTTP_QUERY_CONTENT_RANGE, facts.contentRange);
    if (length == HeaderResult::Unusable || range == HeaderResult::Unusable) return false;
    facts.hasContentLength = length == HeaderResult::Present;
    facts.hasContentRange = range == HeaderResult::Present;
    return true;
}

bool CHttpDownload::FollowRedirect(HINTERNET request, std::wstring& url, int& redirectsLeft) {
    if (redirectsLeft <= 0) return false;
    --redirectsLeft;
    std::wstring location;
    if (QueryHeader(request, WINHTTP_QUERY_LOCATION, location) != HeaderResult::Present) return false;
    std::wstring next;
    if (!ResolveLocation(url, location, next) || !IsRedirectAllowed(url, next)) return false;
    url = next;
    return true;
}

bool CHttpDownload::StartWholeFile(HINTERNET request, const ResponseDecision& decision) {
    const Validator validator = ChooseValidator(HeaderOrEmpty(request, WINHTTP_QUERY_ETAG),
                                                HeaderOrEmpty(request, WINHTTP_QUERY_LAST_MODIFIED));
    // The old validator goes before the old bytes, and the new one is recorded only for an
    // empty file: whenever this stops, the state file never vouches for bytes of another version.
    if (!m_state.WriteValidator(Validator())) return false;
    const bool totalRecorded = decision.totalKnown ? m_state.WriteTotal(decision.total) : m_state.RemoveTotal();
    if (!m_file.Truncate() || !totalRecorded) return false;
    return m_state.WriteValidator(validator);
}

bool CHttpDownload::Complete(const ResponseDecision& decision) {
    if (m_file.Size() != decision.total || !m_state.WriteTotal(decision.total) || !m_file.FlushToDisk()) return false;
    if (m_pacer.ShouldReportCompletion() && !Report(1000)) return false;
    return true;
}

bool CHttpDownload::ReceiveBody(HINTERNET request, const ResponseDecision& decision) {
    // The installer may end this thread forcibly after a stall; on a slow link the buffer would
    // then hold minutes of data. Writing it out at least once a second bounds that loss.
    ULONGLONG lastFlushMs = GetTickCount64();
    bool endSeen = false;
    for (;;) {
        DWORD available = 0;
        if (!WinHttpQueryDataAvailable(request, &available)) break;
        if (available == 0) {
            endSeen = true;
            break;
        }
        size_t capacity = 0;
        char* space = m_file.FreeSpace(capacity);
        if (space == nullptr) return false;
        const DWORD wanted = available < capacity ? available : static_cast<DWORD>(capacity);
        DWORD received = 0;
        if (!WinHttpReadData(request, space, wanted, &received) || received == 0) break;
        // More bytes than the file has would not belong to it: keep none of them.
        if (decision.totalKnown && received > decision.total - m_file.Size()) {
            m_file.Flush();
            return false;
        }
        if (!m_file.Commit(received)) return false;
        const ULONGLONG nowMs = GetTickCount64();
        if (nowMs - lastFlushMs >= FLUSH_INTERVAL_MS) {
            if (!m_file.Flush()) return false;
            lastFlushMs = nowMs;
        }
        // Of an unknown total there is no share to show: the pacer then sees a constant 0 and
        // reports once a second, which still proves progress to the caller.
        const int perMille = decision.totalKnown ? PerMille(m_file.Size(), decision.total) : 0;
        if (m_pacer.ShouldReport(perMille, nowMs) && !Report(perMille)) {
            m_file.Flush();  // what arrived is a valid start for a later run
            return false;
        }
    }
    // Whatever ended the body, the bytes on hand continue the file: keep them for a later run.
    // WinHTTP may end a body early without an error (a reset reads as a clean end under
    // Wine): only the byte count proves the file whole, or, for a body of unknown length,
    // the caller's check of the content.
    if (!m_file.FlushToDisk()) return false;
    if (decision.totalKnown ? m_file.Size() != decision.total : !endSeen || !m_state.WriteTotal(m_file.Size())) {
        return false;
    }
    if (m_pacer.ShouldReportCompletion() && !Report(1000)) return false;
    return true;
}

int CHttpDownload::Run() {
    m_startMs = GetTickCount64();
    if (!m_file.Open(m_partialPath)) return 0;
    PartialState previous;
    previous.partialSize = m_file.Size();
    previous.totalRecorded = m_state.ReadTotal(previous.recordedTotal);
    previous.validator = m_state.ReadValidator();
    RequestPlan plan = PlanRequest(previous);
    plan.acceptUnsizedBody = m_acceptUnsizedBody;

    std::wstring url = m_url;
    int redirectsLeft = m_maxRedirects;
    bool askedAgain = false;
    for (;;) {
        Exchange exchange;
        if (!Send(url, plan, exchange)) return 0;
        HINTERNET request = exchange.request.Get();
        ResponseFacts facts;
        if (!ReadFacts(request, facts)) return 0;
        const ResponseDecision decision = DecideResponse(plan, facts);
        switch (decision.action) {
        case ResponseAction::Redirect:
            if (!FollowRedirect(request, url, redirectsLeft)) return 0;
            continue;
        case ResponseAction::RequestAgainFromZero:
            if (askedAgain) return 0;
            askedAgain = true;
            plan = RequestPlan();
            plan.acceptUnsizedBody = m_acceptUnsizedBody;
            continue;
        case ResponseAction::AlreadyComplete:
            return Complete(decision) ? 1 : 0;
        case ResponseAction::WriteFromZero:
            if (!StartWholeFile(request, decision)) return 0;
            return ReceiveBody(request, decision) ? 1 : 0;
        case ResponseAction::ContinueAtOffset:
            if (decision.offset != m_file.Size() || !m_state.WriteTotal(decision.total)) return 0;
            return ReceiveBody(request, decision) ? 1 : 0;
        case ResponseAction::Fail:
            return 0;
        }
        return 0;
    }
}
