#pragma once
#include <string>

// Scheme codes in the INTERNET_SCHEME_* numbering.
enum {
    URL_SCHEME_UNKNOWN = -1,
    URL_SCHEME_FTP = 1,
    URL_SCHEME_GOPHER = 2,
    URL_SCHEME_HTTP = 3,
    URL_SCHEME_HTTPS = 4,
    URL_SCHEME_FILE = 5,
    URL_SCHEME_NEWS = 6,
    URL_SCHEME_MAILTO = 7,
    URL_SCHEME_SOCKS = 8,
    URL_SCHEME_JAVASCRIPT = 9,
    URL_SCHEME_VBSCRIPT = 10,
    URL_SCHEME_RES = 11,
};

// Longest text of one component (scheme, host, user, password, decoded path, query+fragment).
static const size_t URL_COMPONENT_MAX = 1023;

struct CUrlParts {
    int m_nScheme = 0;
    int m_nPort = 0;  // explicit port, else the scheme's default (ftp 21, gopher 70, http 80, https 443), else 0
    std::wstring m_strHostName;  // an IPv6 literal without its brackets
    std::wstring m_strUserName;
    std::wstring m_strPassword;
    std::wstring m_strUrlPath;   // from the leading "/", percent escapes decoded; no query or fragment
};

// Splits "scheme://[user[:password]@]host[:port][/path][?query][#fragment]".
// Returns 1 and fills parts, or 0 with parts unchanged. The rules:
// - scheme: a letter, then letters, digits, "+", "-", "."; matched without regard to case;
//   unknown schemes give URL_SCHEME_UNKNOWN. It must be followed by "//": text without
//   "scheme://" fails (opaque forms such as "mailto:a@b" name no host and no file).
// - the authority ends at the first "/", "?" or "#". Its last "@" ends the user information, so
//   a password may hold "@"; the first ":" in the user information starts the password.
// - host: "[...]" holds an IPv6 literal (hex digits, ":" and "." only); otherwise it may not hold
//   white space, control characters, "[", "]", "\" or ":". Empty only for the file scheme.
// - port: digits after ":", 1 to 65535; an empty or out-of-range port fails.
// - path: percent escapes are decoded as UTF-8 in the path only. A malformed escape, invalid
//   UTF-8, or an escape that decodes to a control character (%00, %0A, ...) fails: such a path
//   would be cut short or change the commands sent to a server.
// - a control character anywhere in the text fails; spaces are allowed in the path and the
//   user information.
// - any component longer than URL_COMPONENT_MAX characters fails.
bool SplitUrl(const std::wstring& url, CUrlParts& parts);
