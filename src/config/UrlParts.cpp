#include "config/UrlParts.h"

#include <string>

namespace {

bool IsAsciiLetter(wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'); }
bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }
bool IsControl(unsigned long c) { return c < 0x20 || c == 0x7F; }

int HexValue(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

bool EqualsIgnoringAsciiCase(const std::wstring& text, const wchar_t* lower) {
    size_t i = 0;
    for (; i < text.size() && lower[i] != L'\0'; ++i) {
        wchar_t c = text[i];
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
        if (c != lower[i]) return false;
    }
    return i == text.size() && lower[i] == L'\0';
}

struct SchemeInfo {
    const wchar_t* name;
    int code;
    int defaultPort;
};

const SchemeInfo SCHEMES[] = {
    {L"ftp", URL_SCHEME_FTP, 21},           {L"gopher", URL_SCHEME_GOPHER, 70},
    {L"http", URL_SCHEME_HTTP, 80},         {L"https", URL_SCHEME_HTTPS, 443},
    {L"file", URL_SCHEME_FILE, 0},          {L"news", URL_SCHEME_NEWS, 0},
    {L"mailto", URL_SCHEME_MAILTO, 0},      {L"socks", URL_SCHEME_SOCKS, 0},
    {L"javascript", URL_SCHEME_JAVASCRIPT, 0}, {L"vbscript", URL_SCHEME_VBSCRIPT, 0},
    {L"res", URL_SCHEME_RES, 0},
};

SchemeInfo LookUpScheme(const std::wstring& name) {
    for (const SchemeInfo& scheme : SCHEMES) {
        if (EqualsIgnoringAsciiCase(name, scheme.name)) return scheme;
    }
    return SchemeInfo{L"", URL_SCHEME_UNKNOWN, 0};
}

// Length of the scheme at the start of url when it is followed by "://", else 0.
size_t SchemeLength(const std::wstring& url) {
    if (url.empty() || !IsAsciiLetter(url[0])) return 0;
    size_t i = 1;
    while (i < url.size() && (IsAsciiLetter(url[i]) || IsDigit(url[i]) || url[i] == L'+' ||
                              url[i] == L'-' || url[i] == L'.'))
        ++i;
    if (url.compare(i, 3, L"://") != 0) return 0;
    return i;
}

bool IsIpv6Literal(const std::wstring& text) {
    if (text.find(L':') == std::wstring::npos) return false;
    for (wchar_t c : text) {
        if (HexValue(c) < 0 && c != L':' && c != L'.') return false;
    }
    return true;
}

bool IsPlainHost(const std::wstring& text) {
    for (wchar_t c : text) {
        if (c <= L' ' || c == 0x7F || c == L'[' || c == L']' || c == L'\\' || c == L':') return false;
    }
    return true;
}

// "digits" in 1..65535.
bool ParsePort(const std::wstring& text, int& port) {
    if (text.empty()) return false;
    long value = 0;
    for (wchar_t c : text) {
        if (!IsDigit(c)) return false;
        value = value * 10 + (c - L'0');
        if (value > 65535) return false;
    }
    if (value == 0) return false;
    port = static_cast<int>(value);
    return true;
}

// Splits the authority into user information, host and port.
bool SplitAuthority(const std::wstring& authority, const SchemeInfo& scheme, CUrlParts& parts) {
    std::wstring hostAndPort = authority;
    const size_t at = authority.rfind(L'@');
    if (at != std::wstring::npos) {
        const std::wstring userInfo = authority.substr(0, at);
        hostAndPort = authority.substr(at + 1);
        const size_t colon = userInfo.find(L':');
        parts.m_strUserName = userInfo.substr(0, colon);
        if (colon != std::wstring::npos) parts.m_strPassword = userInfo.substr(colon + 1);
    }

    std::wstring portText;
    bool hasPort = false;
    if (!hostAndPort.empty() && hostAndPort[0] == L'[') {
        const size_t close = hostAndPort.find(L']');
        if (close == std::wstring::npos) return false;
        parts.m_strHostName = hostAndPort.substr(1, close - 1);
        if (!IsIpv6Literal(parts.m_strHostName)) return false;
        const std::wstring rest = hostAndPort.substr(close + 1);
        if (!rest.empty()) {
            if (rest[0] != L':') return false;
            hasPort = true;
            portText = rest.substr(1);
        }
    } else {
        const size_t colon = hostAndPort.find(L':');
        parts.m_strHostName = hostAndPort.substr(0, colon);
        if (colon != std::wstring::npos) {
            hasPort = true;
            portText = hostAndPort.substr(colon + 1);
        }
        if (!IsPlainHost(parts.m_strHostName)) return false;
    }
    if (parts.m_strHostName.empty() && scheme.code != URL_SCHEME_FILE) return false;

    parts.m_nPort = scheme.defaultPort;
    if (hasPort && !ParsePort(portText, parts.m_nPort)) return false;
    return true;
}

// Appends one code point as UTF-16.
void AppendCodePoint(std::wstring& out, unsigned long cp) {
    if (cp >= 0x10000) {
        cp -= 0x10000;
        out.push_back(static_cast<wchar_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<wchar_t>(0xDC00 + (cp & 0x3FF)));
    } else {
        out.push_back(static_cast<wchar_t>(cp));
    }
}

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF, no control characters.
bool DecodeUtf8(const std::string& bytes, std::wstring& out) {
    size_t i = 0;
    while (i < bytes.size()) {
        const unsigned char lead = static_cast<unsigned char>(bytes[i]);
        unsigned long cp = 0;
        size_t extra = 0;
        unsigned long minimum = 0;
        if (lead < 0x80) {
            cp = lead;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            cp = lead & 0x1F;
            extra = 1;
            minimum = 0x80;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            cp = lead & 0x0F;
            extra = 2;
            minimum = 0x800;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            cp = lead & 0x07;
            extra = 3;
            minimum = 0x10000;
        } else {
            return false;
        }
        if (i + extra >= bytes.size()) return false;  // sequence cut short
        for (size_t k = 1; k <= extra; ++k) {
            const unsigned char next = static_cast<unsigned char>(bytes[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (next & 0x3F);
        }
        if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF) || IsControl(cp))
            return false;
        AppendCodePoint(out, cp);
        i += extra + 1;
    }
    return true;
}

// Decodes the percent escapes of a path; runs of escapes are read as UTF-8 together.
bool DecodePath(const std::wstring& raw, std::wstring& out) {
    std::wstring decoded;
    size_t i = 0;
    while (i < raw.size()) {
        if (raw[i] != L'%') {
            decoded.push_back(raw[i]);
            ++i;
            continue;
        }
        std::string bytes;
        while (i < raw.size() && raw[i] == L'%') {
            if (i + 2 >= raw.size()) return false;  // "%" without two digits
            const int high = HexValue(raw[i + 1]);
            const int low = HexValue(raw[i + 2]);
            if (high < 0 || low < 0) return false;
            bytes.push_back(static_cast<char>(high * 16 + low));
            i += 3;
        }
        if (!DecodeUtf8(bytes, decoded)) return false;
    }
    out = std::move(decoded);
    return true;
}

}  // namespace

bool SplitUrl(const std::wstring& url, CUrlParts& parts) {
    for (wchar_t c : url) {
        if (IsControl(c)) return false;
    }
    const size_t schemeLength = SchemeLength(url);
    if (schemeLength == 0 || schemeLength > URL_COMPONENT_MAX) return false;
    const SchemeInfo scheme = LookUpScheme(url.substr(0, schemeLength));

    const size_t authorityStart = schemeLength + 3;
    size_t authorityEnd = url.find_first_of(L"/?#", authorityStart);
    if (authorityEnd == std::wstring::npos) authorityEnd = url.size();
    size_t pathEnd = url.find_first_of(L"?#", authorityEnd);
    if (pathEnd == std::wstring::npos) pathEnd = url.size();

    CUrlParts result;
    result.m_nScheme = scheme.code;
    if (!SplitAuthority(url.substr(authorityStart, authorityEnd - authorityStart), scheme, result))
        return false;
    if (!DecodePath(url.substr(authorityEnd, pathEnd - authorityEnd), result.m_strUrlPath)) return false;

    const size_t extraLength = url.size() - pathEnd;  // query and fragment, not kept
    if (result.m_strHostName.size() > URL_COMPONENT_MAX ||
        result.m_strUserName.size() > URL_COMPONENT_MAX ||
        result.m_strPassword.size() > URL_COMPONENT_MAX ||
        result.m_strUrlPath.size() > URL_COMPONENT_MAX || extraLength > URL_COMPONENT_MAX)
        return false;
    parts = std::move(result);
    return true;
}
