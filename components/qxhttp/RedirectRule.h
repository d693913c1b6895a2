#pragma once
#include <string>

// The absolute URL a Location header points to, resolved against the URL that answered
// (absolute, scheme-relative, absolute-path, query-only and relative-path forms; dot
// segments removed; any fragment dropped). False when the base is not absolute.
bool ResolveLocation(const std::wstring& base, const std::wstring& location, std::wstring& target);

// A redirect may lead only to http or https, and never from https down to http: the
// certificate check would otherwise protect only the first hop.
bool IsRedirectAllowed(const std::wstring& from, const std::wstring& to);

// Lower-case scheme of an absolute URL ("http", "https", ...); empty if there is none.
std::wstring UrlScheme(const std::wstring& url);

