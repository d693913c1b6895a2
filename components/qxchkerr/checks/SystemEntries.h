#pragma once
#include <windows.h>
#include <wincrypt.h>
#include <winhttp.h>

#include "Handles.h"
#include "ProxyLookup.h"
#include "SystemLibrary.h"

// The WinHTTP entries the server check uses, from the system folder's winhttp.dll (the checker
// imports only known DLLs). Each check holds its own instance, so a late check thread keeps
// the library loaded for as long as it runs.
struct WinHttpEntries {
    WinHttpEntries() {
        ready = SYSTEM_ENTRY(library, WinHttpOpen) && SYSTEM_ENTRY(library, WinHttpCloseHandle) &&
                SYSTEM_ENTRY(library, WinHttpConnect) && SYSTEM_ENTRY(library, WinHttpOpenRequest) &&
                SYSTEM_ENTRY(library, WinHttpSetTimeouts) && SYSTEM_ENTRY(library, WinHttpSetOption) &&
                SYSTEM_ENTRY(library, WinHttpQueryOption) && SYSTEM_ENTRY(library, WinHttpSetStatusCallback) &&
                SYSTEM_ENTRY(library, WinHttpSendRequest) && SYSTEM_ENTRY(library, WinHttpReceiveResponse) &&
                SYSTEM_ENTRY(library, WinHttpQueryHeaders) && SYSTEM_ENTRY(library, WinHttpCrackUrl) &&
                SYSTEM_ENTRY(library, WinHttpGetIEProxyConfigForCurrentUser) &&
                SYSTEM_ENTRY(library, WinHttpGetProxyForUrl) && SYSTEM_ENTRY(library, WinHttpQueryAuthSchemes) &&
                SYSTEM_ENTRY(library, WinHttpSetCredentials);
    }
    WinHttpEntries(const WinHttpEntries&) = delete;
    WinHttpEntries& operator=(const WinHttpEntries&) = delete;

    SystemLibrary library{L"winhttp.dll"};
    bool ready = false;
    decltype(&::WinHttpOpen) WinHttpOpen = nullptr;
    decltype(&::WinHttpCloseHandle) WinHttpCloseHandle = nullptr;
    decltype(&::WinHttpConnect) WinHttpConnect = nullptr;
    decltype(&::WinHttpOpenRequest) WinHttpOpenRequest = nullptr;
    decltype(&::WinHttpSetTimeouts) WinHttpSetTimeouts = nullptr;
    decltype(&::WinHttpSetOption) WinHttpSetOption = nullptr;
    decltype(&::WinHttpQueryOption) WinHttpQueryOption = nullptr;
    decltype(&::WinHttpSetStatusCallback) WinHttpSetStatusCallback = nullptr;
    decltype(&::WinHttpSendRequest) WinHttpSendRequest = nullptr;
    decltype(&::WinHttpReceiveResponse) WinHttpReceiveResponse = nullptr;
    decltype(&::WinHttpQueryHeaders) WinHttpQueryHeaders = nullptr;
    decltype(&::WinHttpCrackUrl) WinHttpCrackUrl = nullptr;
    decltype(&::WinHttpGetIEProxyConfigForCurrentUser) WinHttpGetIEProxyConfigForCurrentUser = nullptr;
    decltype(&::WinHttpGetProxyForUrl) WinHttpGetProxyForUrl = nullptr;
    decltype(&::WinHttpQueryAuthSchemes) WinHttpQueryAuthSchemes = nullptr;
    decltype(&::WinHttpSetCredentials) WinHttpSetCredentials = nullptr;

    // The same entries for the proxy code QXHttp shares (components/proxy).
    ProxyEntries Proxy() const {
        return ProxyEntries{WinHttpGetIEProxyConfigForCurrentUser, WinHttpGetProxyForUrl, WinHttpOpen,
                            WinHttpCloseHandle, WinHttpSetTimeouts, WinHttpSetOption, WinHttpQueryAuthSchemes,
                            WinHttpSetCredentials};
    }
};

// Owns a WinHTTP handle, closed through the entries it was made with (which must outlive it).
inline UniqueWinHttp MakeWinHttpHandle(const WinHttpEntries& winHttp, HINTERNET handle) {
    return UniqueWinHttp(handle, winHttp.WinHttpCloseHandle);
}

// The certificate chain entries of crypt32.dll, from the system folder.
struct CertificateEntries {
    CertificateEntries() {
        ready = SYSTEM_ENTRY(library, CertFreeCertificateContext) && SYSTEM_ENTRY(library, CertFreeCertificateChain) &&
                SYSTEM_ENTRY(library, CertGetCertificateChain) &&
                SYSTEM_ENTRY(library, CertVerifyCertificateChainPolicy);
    }
    CertificateEntries(const CertificateEntries&) = delete;
    CertificateEntries& operator=(const CertificateEntries&) = delete;

    SystemLibrary library{L"crypt32.dll"};
    bool ready = false;
    decltype(&::CertFreeCertificateContext) CertFreeCertificateContext = nullptr;
    decltype(&::CertFreeCertificateChain) CertFreeCertificateChain = nullptr;
    decltype(&::CertGetCertificateChain) CertGetCertificateChain = nullptr;
    decltype(&::CertVerifyCertificateChainPolicy) CertVerifyCertificateChainPolicy = nullptr;
};
