#pragma once
#include <windows.h>

#include <vector>

#include "checks/CheckFinding.h"
#include "checks/Socket.h"

// Opens a TCP connection to each address in turn until one succeeds, all within `timeoutMs`,
// then closes it again. Refused everywhere is ConnectRefused; no answer before the bound is
// ConnectTimedOut; anything else (no route, network down) is ConnectFailed.
CheckFinding CheckTcpConnect(const std::vector<CSocketAddress>& addresses, DWORD timeoutMs);

// The connection itself, for the server check: the first address that accepts before the deadline.
// On failure `finding` says why and the returned socket is invalid. The caller holds a
// WinsockSession for as long as it uses the socket.
UniqueSocket ConnectToAny(const std::vector<CSocketAddress>& addresses, const CDeadline& deadline, CheckFinding& finding);
