#include "checks/CheckSequence.h"

#include "checks/AddressCheck.h"
#include "checks/ConnectCheck.h"
#include "checks/DownloadFiles.h"
#include "checks/LocalChecks.h"
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

}  // namespace

void RunCheckSequence(const CheckerInputs& inputs, const CheckBudgets& budgets, ICheckObserver& observer) {
    AddressCheckResult address;
    ResolveResult resolved;
    ServerCheckResult server;
    CheckFinding finding;

    if (!Step(observer, CheckId::Address, [&] { return (address = CheckDownloadAddress(inputs.strConfigValue, inputs.strPinValue)).finding; },
              finding))
        return;
    const CUrlParts& url = address.parts;
    bool reachable = address.finding.Passed();

    if (!Step(observer, CheckId::HostName,
              [&] {
                  if (!reachable) return Skipped();
                  resolved = CheckHostResolves(url.m_strHostName, url.m_nPort, budgets.resolveMs);
                  return resolved.finding;
              },
              finding))
        return;
    reachable = reachable && finding.Passed();

    if (!Step(observer, CheckId::Connection,
              [&] { return reachable ? CheckTcpConnect(resolved.addresses, budgets.connectMs) : Skipped(); }, finding))
        return;
    reachable = reachable && finding.Passed();

    if (!Step(observer, CheckId::Server,
              [&] {
                  if (!reachable) return Skipped();
                  server = url.m_nScheme == URL_SCHEME_FTP
                               ? CheckFtpServer(resolved.addresses, url, budgets.serverMs)
                               : CheckHttpServer(address.strUrl, budgets.serverMs);
                  return server.finding;
              },
              finding))
        return;

    const DownloadFiles files = DescribeDownloadFiles(inputs.strDownloadFolder, address.strFileName);
    if (!Step(observer, CheckId::Folder, [&] { return CheckDownloadFolder(files); }, finding)) return;

    const long long size = server.nPackageSize >= 0 ? server.nPackageSize : ReadRecordedPackageSize(files.strState);
    Step(observer, CheckId::DiskRoom, [&] { return CheckDiskRoom(files, size); }, finding);
}
