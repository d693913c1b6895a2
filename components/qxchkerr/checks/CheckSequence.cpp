#include "checks/CheckSequence.h"

#include <climits>

#include "checks/AddressCheck.h"
#include "checks/ConnectCheck.h"
#include "checks/LocalChecks.h"
#include "checks/ProxyCheck.h"
#include "checks/ResolveCheck.h"
#include "checks/ServerCheck.h"

namespace {

// Reports start and end of one check around `run`; false when the observer wants to stop.
template <typename Run>
bool Step(ICheckObserver& observer, CheckId id, Run run, CheckFinding& finding) {
    if (observer.StopRequested()) return false;
    observer.OnCheckStarted(id);
    finding = run();
    observer.OnCheckFinished(id, finding);
    return true;
}

CheckFinding Skipped() { return CheckFinding::Skip(CheckProblem::EarlierCheckFailed); }

// The resolver takes an IPv6 literal without its brackets.
std::wstring ProxyHostForResolver(const ProxyChoice& proxy) {
    const std::wstring& host = proxy.host;
    return host.size() > 2 && host.front() == L'[' && host.back() == L']' ? host.substr(1, host.size() - 2) : host;
}

}  // namespace

void RunCheckSequence(const CheckerInputs& inputs, const CheckBudgets& budgets, ICheckObserver& observer) {
    AddressCheckResult address;
    ResolveResult resolved;
    ServerCheckResult server;
    ProxyChoice proxy;
    CheckFinding finding;

    if (!Step(observer, CheckId::Address, [&] { return (address = CheckDownloadAddress(inputs.strConfigValue, inputs.strPinValue)).finding; },
              finding))
        return;
    const CUrlParts& url = address.parts;
    bool reachable = address.finding.Passed();

    if (!Step(observer, CheckId::HostName,
              [&] {
                  if (!reachable) return Skipped();
                  proxy = ProxyForCheck(address.strUrl, url, budgets.resolveMs);
                  if (proxy.Direct()) return (resolved = CheckHostResolves(url.m_strHostName, url.m_nPort, budgets.resolveMs)).finding;
                  // Behind a proxy only the proxy's name has to resolve here.
                  resolved = CheckHostResolves(ProxyHostForResolver(proxy), proxy.port, budgets.resolveMs);
                  const std::wstring detail = L"proxy " + proxy.Name() + L": " + resolved.finding.detail;
                  return (resolved.finding.Passed() ? CheckFinding::Pass(detail)
                                                    : CheckFinding::Fail(CheckProblem::ProxyUnreachable, detail))
                      .Via(proxy.Name());
              },
              finding))
        return;
    reachable = reachable && finding.Passed();

    if (!Step(observer, CheckId::Connection,
              [&] {
                  if (!reachable) return Skipped();
                  return proxy.Direct() ? CheckTcpConnect(resolved.addresses, budgets.connectMs)
                                        : CheckProxyTunnel(resolved.addresses, proxy, url, budgets.connectMs);
              },
              finding))
        return;
    reachable = reachable && finding.Passed();

    if (!Step(observer, CheckId::Server,
              [&] {
                  if (!reachable) return Skipped();
                  server = url.m_nScheme == URL_SCHEME_FTP
                               ? CheckFtpServer(resolved.addresses, url, budgets.serverMs)
                               : CheckHttpServer(address.strUrl, budgets.serverMs, proxy);
                  return server.finding;
              },
              finding))
        return;

    const std::wstring& folder = inputs.strDownloadFolder;
    // Without a folder or a file name there are no download files to look at.
    const DownloadFiles files =
        folder.empty() || address.strFileName.empty() ? DownloadFiles() : MakeDownloadFiles(folder, address.strFileName);
    if (!Step(observer, CheckId::Folder,
              [&] {
                  const CheckFinding found = CheckDownloadFolder(folder, files);
                  if (!found.Passed() || url.m_nScheme != URL_SCHEME_FTP || files.strTargetPath.empty()) return found;
                  return CheckFtpFolderReach(folder, address.strFileName, FtpLibraryTakesWidePaths());
              },
              finding))
        return;

    const std::optional<unsigned long long> recorded = ReadRecordedSize(files.strStateFile);
    const long long size = server.nPackageSize >= 0 ? server.nPackageSize
                           : recorded && *recorded <= LLONG_MAX ? static_cast<long long>(*recorded)
                                                                : -1;
    Step(observer, CheckId::DiskRoom, [&] { return CheckDiskRoom(folder, files, size); }, finding);
}
