#pragma once
#include <windows.h>
#include <winhttp.h>

#include "ProxyLookup.h"

// The shared proxy code (components/proxy) with the WinHTTP entries QXHttp links.
const ProxyEntries& LinkedProxyEntries();
