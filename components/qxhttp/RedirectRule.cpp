#include "RedirectRule.h"

#include <algorithm>
#include <vector>

namespace {
bool IsSchemeChar(wchar_t c, bool first) {
    const bool alpha = (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
    if (first) return alpha;
    return alpha || (c >= L'0' && c <= L'9') || c == L'+' || c == L'-' || c == L'.';
}

// Length of "scheme:" at the start of `url`, or 0.
size_t SchemeLength(const std::wstring& url) {
    size_t i = 0;
    while (i < url.size() && IsSchemeChar(url[i], i == 0)) ++i;
    if (i == 0 || i >= url.size() || url[i] != L':') return 0;
    return i + 1;
}

std::wstring WithoutFragment(const std::wstring& url) {
    const size_t hash = url.find(L'#');
    return hash == std::wstring::npos ? url : url.substr(0, hash);
}

// Removes "." and ".." segments from an absolute path.
std::wstring RemoveDotSegments(const std::wstring& path) {
    std::vector<std::wstring> segments;
    size_t start = 1;  // path begins with '/'
    bool trailingSlash = false;
    while (start <= path.size()) {
        size_t end = path.find(L'/', start);
        if (end == std::wstring::npos) end = path.size();
        const std::wstring segment = path.substr(start, end - start);
        const bool last = end == path.size();
        if (segment == L".") {
            trailingSlash = last;
        } else if (segment == L"..") {
            if (!segments.empty()) segments.pop_back();
            trailingSlash = last;
        } else {
            segments.push_back(segment);
            trailingSlash = false;
        }
        start = end + 1;
    }
    std::wstring result;
    for (const std::wstring& segment : segments) result += L"/" + segment;
    if (trailingSlash || result.empty()) result += L"/";
    return result;
}

struct UrlParts {
    std::wstring scheme;     // "https:"
    std::wstring authority;  // "//host:port"
    std::wstring path;       // "/a/b", at least "/"
    std::wstring query;      // "?x=1" or empty
};

bool SplitAbsolute(const std::wstring& url, UrlParts& parts) {
    const size_t schemeLength = SchemeLength(url);
    if (schemeLength == 0 || url.compare(schemeLength, 2, L"//") != 0) return false;
    parts.scheme = url.substr(0, schemeLength);
    const size_t authorityEnd = url.find_first_of(L"/?", schemeLength + 2);
    parts.authority = url.substr(schemeLength, authorityEnd == std::wstring::npos ? std::wstring::npos
                                                                                   : authorityEnd - schemeLength);
    std::wstring rest = authorityEnd == std::wstring::npos ? std::wstring() : url.substr(authorityEnd);
    const size_t question = rest.find(L'?');
    parts.path = question == std::wstring::npos ? rest : rest.substr(0, question);
    parts.query = question == std::wstring::npos ? std::wstring() : rest.substr(question);
    if (parts.path.empty()) parts.path = L"/";
    return true;
}

std::wstring SplitPathAndQuery(const std::wstring& reference, std::wstring& query) {
    const size_t question = reference.find(L'?');
    query = question == std::wstring::npos ? std::wstring() : reference.substr(question);
    return question == std::wstring::npos ? reference : reference.substr(0, question);
}
}  // namespace

std::wstring UrlScheme(const std::wstring& url) {
    const size_t length = SchemeLength(url);
    if (length == 0) return std::wstring();
    std::wstring scheme = url.substr(0, length - 1);
    for (wchar_t& c : scheme) {
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    }
    return scheme;
}

bool ResolveLocation(const std::wstring& base, const std::wstring& location, std::wstring& target) {
    UrlParts baseParts;
    if (!SplitAbsolute(WithoutFragment(base), baseParts)) return false;
    const std::wstring reference = WithoutFragment(location);

    if (SchemeLength(reference) != 0) {
        target = reference;
        return true;
    }
    if (reference.compare(0, 2, L"//") == 0) {
        target = baseParts.scheme + reference;
        return true;
    }
    std::wstring query;
    const std::wstring path = SplitPathAndQuery(reference, query);
    std::wstring mergedPath;
    if (path.empty()) {
        mergedPath = baseParts.path;
        if (query.empty()) query = baseParts.query;
    } else if (path[0] == L'/') {
        mergedPath = RemoveDotSegments(path);
    } else {
        const size_t lastSlash = baseParts.path.find_last_of(L'/');
        mergedPath = RemoveDotSegments(baseParts.path.substr(0, lastSlash + 1) + path);
    }
    target = baseParts.scheme + baseParts.authority + mergedPath + query;
    return true;
}

bool IsRedirectAllowed(const std::wstring& from, const std::wstring& to) {
    const std::wstring fromScheme = UrlScheme(from);
    const std::wstring toScheme = UrlScheme(to);
    if (toScheme != L"http" && toScheme != L"https") return false;
    if (fromScheme == L"https" && toScheme != L"https") return false;
    return true;
}
