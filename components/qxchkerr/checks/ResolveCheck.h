#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "checks/CheckFinding.h"
#include "checks/Socket.h"

struct ResolveResult {
    CheckFinding finding;
    std::vector<CSocketAddress> addresses;  // TCP addresses of host:port, in the resolver's order
};

// Looks the host name up (an address literal passes at once). A name the resolver does not know
// is HostUnknown; any other resolver failure, or no answer within `timeoutMs`, is ResolveFailed.
ResolveResult CheckHostResolves(const std::wstring& strHost, int nPort, DWORD timeoutMs);
