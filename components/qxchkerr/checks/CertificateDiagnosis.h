#pragma once
#include <windows.h>
#include <winhttp.h>

#include <string>

#include "checks/CheckFinding.h"
#include "checks/SystemEntries.h"

// Why the server's certificate was refused. WinHTTP does not always say: Wine reports every
// refused certificate as a failed secure channel. So the certificate is fetched once more with
// the certificate checks switched off, for this look only (the answer is not used), and judged
// here with the system's own chain and SSL policy for the host name.
// Gives CertificateUntrusted, CertificateExpired, CertificateNameMismatch, or
// SecureConnectionFailed when the certificate cannot be had or shows no such fault.
CheckProblem DiagnoseServerCertificate(const WinHttpEntries& winHttp, HINTERNET connection, const std::wstring& host,
                                       std::wstring& detail);
