#pragma once
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "QXFtp.h"
#include "SrwLock.h"
#include "win32/ControlChannel.h"
#include "win32/Failure.h"
#include "win32/Winsock.h"

namespace qxftp {

class LocalFile;
class StateRecord;
class DataSink;
class TransferProgress;

// What QFTPFLON asks for. An empty proxy host means a direct connection.
struct LogonRequest {
    std::string host;
    int port = 21;
    std::string user;
    std::string password;
    std::string proxyHost;
    std::string proxyUser;
    std::string proxyPassword;
    std::string account;
    int proxyPort = 21;
    unsigned flags = 0;
};

// Time limits. The connect is bounded well below the caller's 20-second watchdog; receive
// time-outs are longer than it, so that the watchdog decides, yet finite.
constexpr DWORD CONNECT_TIMEOUT_MS = 10000;
constexpr DWORD DEFAULT_RECEIVE_TIMEOUT_MS = 60000;
// How long to wait for a reply when the outcome is already known (QUIT, a transfer cut short).
constexpr DWORD SHORT_REPLY_TIMEOUT_MS = 5000;
// Data moves in pieces of about this size: large reads and writes are far cheaper under Wine
// (1 GiB on loopback: 0.59 s with 4 MiB, 0.86 s with 1 MiB, native curl 1.04 s).
constexpr size_t TRANSFER_BUFFER_SIZE = 4u << 20;
// A download reports a changed per-mille value at most this often (see ProgressPacer): 1 GiB
// on loopback moved a thousand times through the installer's window costs that run about a
// second under Wine.
constexpr std::uint64_t DOWNLOAD_REPORT_SPACING_MS = 100;

// One FTP session: the control connection, its settings and its last error. Operations hold
// the operation lock for their whole length (one at a time per session); the last error has a
// lock of its own, so it can be read while a transfer runs on another thread.
class FtpSession {
public:
    bool WinsockReady() const { return m_winsock.Ready(); }
    CSrwLock& OperationLock() { return m_operationLock; }
    // The thread that holds the operation lock (0 when none), so that a call from within the
    // session's own progress callback is refused instead of waiting for itself.
    DWORD Owner() const { return m_owner.load(); }
    void SetOwner(DWORD threadId) { m_owner.store(threadId); }

    bool LogOn(const LogonRequest& request, Failure& failure);
    void LogOff();
    bool RemoteSize(const std::string& remotePath, std::uint64_t& size, Failure& failure);
    bool Download(const std::string& remotePath, const std::wstring& localPath, int mode,
                  QXPROGRESSCALLBACK callback, void* context, Failure& failure);
    bool Upload(const std::wstring& localPath, const std::string& remotePath, int mode,
                QXPROGRESSCALLBACK callback, void* context, Failure& failure);
    bool Rename(const std::string& fromPath, const std::string& toPath, Failure& failure);
    bool Delete(const std::string& remotePath, Failure& failure);
    bool ChangeFolder(const std::string& remoteFolder, Failure& failure);
    // 1 = exists as a file, 0 = does not, -1 = could not be told (failure filled).
    int Exists(const std::string& remotePath, Failure& failure);
    bool FileInfo(const std::string& remotePath, std::uint64_t& size, std::string& modified, Failure& failure);
    // The first name of the server's name list for `remotePath`, at most `maxLength` characters.
    bool FirstName(const std::string& remotePath, size_t maxLength, std::string& name, Failure& failure);

    void RecordFailure(const Failure& failure);
    Failure LastError() const;
    void ClearError();

private:
    bool LogOnAs(const std::string& user, const std::string& password, const std::string& account,
                 Failure& failure);
    bool ReadGreeting(Failure& failure);
    bool RequireLogon(Failure& failure) const;
    void DropConnection();
    bool SimpleCommand(const char* verb, const std::string& argument, Failure& failure);
    bool SetBinaryType(Failure& failure);
    bool QuerySize(const std::string& remotePath, std::uint64_t& size, Failure& failure);
    // The MDTM stamp, or empty when the server offers none for the file.
    bool QueryModified(const std::string& remotePath, std::string& stamp, Failure& failure);
    bool OpenPassive(UniqueSocket& data, Failure& failure);
    bool StartAfresh(LocalFile& file, const StateRecord& record, const std::string& stamp, Failure& failure);
    // Reads the data connection to its end into `sink`; false when stopped or failed, or when
    // more than `expected` bytes arrive.
    bool ReceiveData(UniqueSocket& data, DataSink& sink, TransferProgress* progress, std::uint64_t offset,
                     std::uint64_t expected, std::uint64_t& received, Failure& failure);
    // The final reply of a transfer, waited for briefly when the transfer is known to be short.
    bool ReadFinalReply(bool shortWait, FtpReply& reply, Failure& failure);

    WinsockSession m_winsock;
    CSrwLock m_operationLock;
    std::atomic<DWORD> m_owner{0};
    ControlChannel m_control;
    bool m_loggedOn = false;
    bool m_pasvOnly = false;
    bool m_epsvRefused = false;
    DWORD m_receiveTimeoutMs = DEFAULT_RECEIVE_TIMEOUT_MS;

    mutable CSrwLock m_errorLock;
    Failure m_lastError;
};

}  // namespace qxftp
