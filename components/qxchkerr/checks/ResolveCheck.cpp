#include "checks/ResolveCheck.h"

#include <memory>

#include "WideDecimal.h"
#include "checks/BoundedRun.h"

namespace {

// At most this many addresses are kept; a host with more is still tried on the first ones.
const size_t MAX_ADDRESSES = 16;

ResolveResult Resolve(const std::wstring& host, int port) {
    ResolveResult result;
    WinsockSession winsock;
    if (!winsock.Ready()) {
        result.finding = CheckFinding::Fail(CheckProblem::ResolveFailed, L"Winsock did not start");
        return result;
    }
    ADDRINFOW hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    const std::wstring service = WideDecimal(port);
    ADDRINFOW* raw = nullptr;
    const int error = GetAddrInfoW(host.c_str(), service.c_str(), &hints, &raw);
    std::unique_ptr<ADDRINFOW, decltype(&FreeAddrInfoW)> list(raw, &FreeAddrInfoW);
    if (error != 0) {
        const CheckProblem problem = (error == WSAHOST_NOT_FOUND || error == WSANO_DATA)
                                         ? CheckProblem::HostUnknown
                                         : CheckProblem::ResolveFailed;
        result.finding = CheckFinding::Fail(problem, L"GetAddrInfoW error " + WideDecimal(error));
        return result;
    }
    for (const ADDRINFOW* entry = list.get(); entry != nullptr && result.addresses.size() < MAX_ADDRESSES;
         entry = entry->ai_next) {
        if (entry->ai_addrlen == 0 || entry->ai_addrlen > sizeof(sockaddr_storage)) continue;
        CSocketAddress address;
        memcpy(&address.m_storage, entry->ai_addr, entry->ai_addrlen);
        address.m_nLength = static_cast<int>(entry->ai_addrlen);
        result.addresses.push_back(address);
    }
    if (result.addresses.empty()) {
        result.finding = CheckFinding::Fail(CheckProblem::HostUnknown, L"no TCP address");
        return result;
    }
    result.finding = CheckFinding::Pass(result.addresses.front().ToString());
    return result;
}

}  // namespace

ResolveResult CheckHostResolves(const std::wstring& strHost, int nPort, DWORD timeoutMs) {
    ResolveResult late;
    late.finding = CheckFinding::Fail(CheckProblem::ResolveFailed, L"no answer from the resolver in time");
    return RunWithin<ResolveResult>(
        timeoutMs, [strHost, nPort]() { return Resolve(strHost, nPort); }, late);
}
