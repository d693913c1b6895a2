#include "checks/CertificateDiagnosis.h"

#include <memory>

#include "WideDecimal.h"

namespace {

struct CertificateFreer {
    decltype(&::CertFreeCertificateContext) free = nullptr;
    void operator()(PCCERT_CONTEXT certificate) const { free(certificate); }
};
struct ChainFreer {
    decltype(&::CertFreeCertificateChain) free = nullptr;
    void operator()(PCCERT_CHAIN_CONTEXT chain) const { free(chain); }
};
using Certificate = std::unique_ptr<const CERT_CONTEXT, CertificateFreer>;

// The certificate the server presents, fetched without judging it. The request names only "/":
// a server that is not trusted learns nothing of the package's path or query.
Certificate FetchCertificate(const WinHttpEntries& winHttp, const CertificateEntries& crypt, HINTERNET connection) {
    Certificate none(nullptr, CertificateFreer{crypt.CertFreeCertificateContext});
    const UniqueWinHttp request = MakeWinHttpHandle(
        winHttp, winHttp.WinHttpOpenRequest(connection, L"HEAD", L"/", nullptr, WINHTTP_NO_REFERER,
                                            WINHTTP_DEFAULT_ACCEPT_TYPES,
                                            WINHTTP_FLAG_SECURE | WINHTTP_FLAG_ESCAPE_DISABLE |
                                                WINHTTP_FLAG_ESCAPE_DISABLE_QUERY));
    if (!request) return none;
    DWORD ignore = SECURITY_FLAG_IGNORE_UNKNOWN_CA | SECURITY_FLAG_IGNORE_CERT_DATE_INVALID |
                   SECURITY_FLAG_IGNORE_CERT_CN_INVALID | SECURITY_FLAG_IGNORE_CERT_WRONG_USAGE;
    if (!winHttp.WinHttpSetOption(request.Get(), WINHTTP_OPTION_SECURITY_FLAGS, &ignore, sizeof(ignore))) return none;
    // The handshake is all that is needed; whatever the server answers afterwards is ignored.
    if (!winHttp.WinHttpSendRequest(request.Get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0))
        return none;
    PCCERT_CONTEXT certificate = nullptr;
    DWORD size = sizeof(certificate);
    if (!winHttp.WinHttpQueryOption(request.Get(), WINHTTP_OPTION_SERVER_CERT_CONTEXT, &certificate, &size))
        return none;
    return Certificate(certificate, CertificateFreer{crypt.CertFreeCertificateContext});
}

CheckProblem ProblemOfPolicyError(DWORD error) {
    switch (error) {
    case static_cast<DWORD>(CERT_E_UNTRUSTEDROOT):
    case static_cast<DWORD>(CERT_E_CHAINING):
    case static_cast<DWORD>(TRUST_E_CERT_SIGNATURE):
        return CheckProblem::CertificateUntrusted;
    case static_cast<DWORD>(CERT_E_EXPIRED):
    case static_cast<DWORD>(CERT_E_VALIDITYPERIODNESTING):
        return CheckProblem::CertificateExpired;
    case static_cast<DWORD>(CERT_E_CN_NO_MATCH):
        return CheckProblem::CertificateNameMismatch;
    default:
        return CheckProblem::SecureConnectionFailed;
    }
}

// The chain's own verdict, for when the SSL policy finds nothing (Wine's passes a chain that
// ends at a certificate it does not know).
CheckProblem ProblemOfChainStatus(DWORD errorStatus) {
    if (errorStatus & (CERT_TRUST_IS_UNTRUSTED_ROOT | CERT_TRUST_IS_PARTIAL_CHAIN | CERT_TRUST_IS_NOT_SIGNATURE_VALID))
        return CheckProblem::CertificateUntrusted;
    if (errorStatus & CERT_TRUST_IS_NOT_TIME_VALID) return CheckProblem::CertificateExpired;
    return CheckProblem::SecureConnectionFailed;
}

}  // namespace

CheckProblem DiagnoseServerCertificate(const WinHttpEntries& winHttp, HINTERNET connection, const std::wstring& host,
                                       std::wstring& detail) {
    const CertificateEntries crypt;
    if (!crypt.ready) {
        detail += L"; crypt32.dll unusable";
        return CheckProblem::SecureConnectionFailed;
    }
    const Certificate certificate = FetchCertificate(winHttp, crypt, connection);
    if (!certificate) {
        detail += L"; no certificate to judge";
        return CheckProblem::SecureConnectionFailed;
    }
    CERT_CHAIN_PARA chainPara{};
    chainPara.cbSize = sizeof(chainPara);
    PCCERT_CHAIN_CONTEXT rawChain = nullptr;
    // From the cache and the stores only: fetching missing issuers or revocation lists over the
    // network could run far past this check's time limit.
    if (!crypt.CertGetCertificateChain(nullptr, certificate.get(), nullptr, certificate->hCertStore, &chainPara,
                                       CERT_CHAIN_CACHE_ONLY_URL_RETRIEVAL, nullptr, &rawChain)) {
        detail += L"; no chain";
        return CheckProblem::SecureConnectionFailed;
    }
    const std::unique_ptr<const CERT_CHAIN_CONTEXT, ChainFreer> chain(rawChain,
                                                                      ChainFreer{crypt.CertFreeCertificateChain});

    std::wstring serverName = host;
    SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl{};
    ssl.cbSize = sizeof(ssl);
    ssl.dwAuthType = AUTHTYPE_SERVER;
    ssl.pwszServerName = &serverName[0];
    CERT_CHAIN_POLICY_PARA policyPara{};
    policyPara.cbSize = sizeof(policyPara);
    policyPara.pvExtraPolicyPara = &ssl;
    CERT_CHAIN_POLICY_STATUS status{};
    status.cbSize = sizeof(status);
    if (!crypt.CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain.get(), &policyPara, &status)) {
        detail += L"; policy not checked";
        return CheckProblem::SecureConnectionFailed;
    }
    detail += L"; certificate policy error " + WideDecimal(status.dwError) + L", chain status " +
              WideDecimal(chain->TrustStatus.dwErrorStatus);
    const CheckProblem problem = ProblemOfPolicyError(status.dwError);
    return problem != CheckProblem::SecureConnectionFailed ? problem
                                                           : ProblemOfChainStatus(chain->TrustStatus.dwErrorStatus);
}
