#pragma once
#include <string>

// The checks QXChkErr.exe runs, in the order it runs them.
enum class CheckId {
    Address,     // Fennick.ini holds a well-formed URL with a supported scheme and a file name
    HostName,    // the server's name resolves
    Connection,  // a TCP connection to host:port opens
    Server,      // the server answers as a download server for this package
    Folder,      // the download folder can be created and written
    DiskRoom,    // the disk holding the folder has room for the package
};
constexpr int CHECK_COUNT = 6;

enum class CheckStatus { Waiting, Running, Passed, Failed, Skipped };

// Why a check failed or was skipped. Each value has one plain sentence (CheckerTexts).
enum class CheckProblem {
    None,
    // Address
    ConfigMissing,
    AddressMalformed,
    SchemeUnsupported,
    NoFileName,
    AddressNotTransmittable,
    // HostName
    HostUnknown,
    ResolveFailed,
    // Connection
    ConnectRefused,
    ConnectTimedOut,
    ConnectFailed,
    // Server
    ServerSilent,
    NotExpectedServer,
    ServerBusy,
    LogOnRejected,
    FileNotFound,
    SizeUnavailable,
    AccessDenied,
    ServerError,
    UnexpectedResponse,
    CertificateUntrusted,
    CertificateNameMismatch,
    CertificateExpired,
    SecureConnectionFailed,
    // Folder
    DocumentsUnavailable,
    FolderCannotCreate,
    FolderNotWritable,
    DownloadFileLocked,
    // DiskRoom
    DiskFull,
    SizeUnknown,
    // any check
    TimedOut,
    // Address (added after the others, so that their text numbers stay)
    PinMalformed,
    EarlierCheckFailed,
    // HostName, Connection, Server through the user's proxy (named by the finding's `proxy`)
    ProxyUnreachable,
    ProxyRefused,
    ProxyLoginRequired,
    // Folder: the FTP library cannot be given a path into the folder (neither ANSI nor UTF-16)
    FtpFolderUnreachable,
};

// What one check found. `detail` is technical (a server reply, an error code) and goes to the
// debugger output only; the user sees the sentence for `problem`.
struct CheckFinding {
    CheckStatus status = CheckStatus::Waiting;
    CheckProblem problem = CheckProblem::None;
    std::wstring detail;
    std::wstring proxy;  // "host:port" of the proxy the check went through; empty when direct

    static CheckFinding Pass(std::wstring detail = std::wstring()) {
        return CheckFinding{CheckStatus::Passed, CheckProblem::None, std::move(detail), {}};
    }
    static CheckFinding Fail(CheckProblem problem, std::wstring detail = std::wstring()) {
        return CheckFinding{CheckStatus::Failed, problem, std::move(detail), {}};
    }
    static CheckFinding Skip(CheckProblem problem, std::wstring detail = std::wstring()) {
        return CheckFinding{CheckStatus::Skipped, problem, std::move(detail), {}};
    }
    CheckFinding& Via(const std::wstring& proxyName) {
        proxy = proxyName;
        return *this;
    }
    bool Passed() const { return status == CheckStatus::Passed; }
};
