// The fifteen entries of QXFtp.dll. Each finds its session by handle, holds the session's
// operation lock while it works, records a failure as the session's last error, and never lets
// an exception out.
#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "QXFtp.h"
#include "win32/HandleTable.h"
#include "win32/FtpSession.h"
#include "win32/LocalPath.h"

namespace {

using qxftp::Failure;
using qxftp::FtpSession;
using qxftp::WidenAnsiPath;

constexpr size_t MAX_SESSIONS = 64;
constexpr size_t MAX_LISTED_NAME = 4096;

qxftp::HandleTable<FtpSession, MAX_SESSIONS>& Sessions() {
    static qxftp::HandleTable<FtpSession, MAX_SESSIONS> table;
    return table;
}

std::string Text(const char* value) { return value != nullptr ? std::string(value) : std::string(); }

// Copies `text` with its terminator when it fits in `capacity` characters.
bool CopyOut(const std::string& text, char* buffer, int capacity) {
    if (buffer == nullptr || capacity <= 0 || text.size() >= static_cast<size_t>(capacity)) return false;
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return true;
}

// Marks the calling thread as the session's user while it holds the operation lock.
class OwnerMark {
public:
    explicit OwnerMark(FtpSession& session) : m_session(session) { m_session.SetOwner(GetCurrentThreadId()); }
    ~OwnerMark() { m_session.SetOwner(0); }
    OwnerMark(const OwnerMark&) = delete;
    OwnerMark& operator=(const OwnerMark&) = delete;

private:
    FtpSession& m_session;
};

void Record(FtpSession& session, int code, const char* text) {
    Failure failure;
    failure.code = code;
    failure.text = text;
    session.RecordFailure(failure);
}

// Runs `work` on the session behind `handle` under its operation lock. `work` returns the entry's
// result and fills `failure` when it fails; `failed` tells which results count as failures.
template <typename Work, typename Failed>
int WithSession(int handle, int invalidResult, Work work, Failed failed) {
    std::shared_ptr<FtpSession> session = Sessions().Find(handle);
    if (!session) return invalidResult;
    try {
        CSrwLock& operation = session->OperationLock();
        if (!operation.try_lock()) {
            if (session->Owner() == GetCurrentThreadId()) {
                Record(*session, QXFTP_E_BUSY, "the session is busy: called from its own progress callback");
                return invalidResult;
            }
            operation.lock();  // another thread's operation: wait for it
        }
        const std::lock_guard<CSrwLock> busy(operation, std::adopt_lock);
        OwnerMark mark(*session);
        Failure failure;
        const int result = work(*session, failure);
        if (failed(result)) session->RecordFailure(failure);
        return result;
    } catch (...) {
        Record(*session, QXFTP_E_NO_RESOURCES, "out of memory");
        return invalidResult;
    }
}

bool IsNotOne(int result) { return result != 1; }

int MissingPlace(Failure& failure, const char* what) {
    failure.code = QXFTP_E_INVALID_ARGUMENT;
    failure.text = std::string("no room for the ") + what;
    return 0;
}

template <typename Char>
bool MissingText(const Char* text, Failure& failure, const char* what) {
    if (text != nullptr && text[0] != 0) return false;
    failure.code = QXFTP_E_INVALID_ARGUMENT;
    failure.text = std::string("no ") + what;
    return true;
}

// A local path from an 8-bit entry; false (failure filled) when missing or not ANSI text.
bool LocalPathArgument(const char* path, std::wstring& out, Failure& failure) {
    if (MissingText(path, failure, "local path")) return false;
    if (WidenAnsiPath(path, out)) return true;
    failure.code = QXFTP_E_INVALID_ARGUMENT;
    failure.text = "the local path is not text in the ANSI code page";
    return false;
}

}  // namespace

extern "C" {

int WINAPI QFTPIFO(void) {
    try {
        auto session = std::make_shared<FtpSession>();
        if (!session->WinsockReady()) return 0;
        return Sessions().Add(std::move(session));
    } catch (...) {
        return 0;
    }
}

int WINAPI QFTPUFO(int hSession) {
    std::shared_ptr<FtpSession> session = Sessions().Remove(hSession);
    if (!session) return 0;
    // A session still busy on another thread closes when that work ends and drops it.
    if (session->OperationLock().try_lock()) {
        const std::lock_guard<CSrwLock> idle(session->OperationLock(), std::adopt_lock);
        session->LogOff();
    }
    return 1;
}

int WINAPI QFTPFLON(int hSession, const char* host, int port, const char* user, const char* password,
                    const char* proxyHost, const char* proxyUser, const char* proxyPassword,
                    const char* proxyAccount, int proxyPort, int flags) {
    return WithSession(hSession, 0, [&](FtpSession& session, Failure& failure) {
        if (MissingText(host, failure, "host name")) return 0;
        qxftp::LogonRequest request;
        request.host = host;
        request.port = port;
        request.user = Text(user);
        request.password = Text(password);
        request.proxyHost = Text(proxyHost);
        request.proxyUser = Text(proxyUser);
        request.proxyPassword = Text(proxyPassword);
        request.account = Text(proxyAccount);
        request.proxyPort = proxyPort;
        request.flags = static_cast<unsigned>(flags);
        return session.LogOn(request, failure) ? 1 : 0;
    }, IsNotOne);
}

int WINAPI QFTPFLOFF(int hSession) {
    return WithSession(hSession, 0, [](FtpSession& session, Failure&) {
        session.LogOff();
        return 1;
    }, IsNotOne);
}

int WINAPI QFTPGFS(int hSession, const char* remotePath, long long* pSize) {
    return WithSession(hSession, 0, [&](FtpSession& session, Failure& failure) {
        if (MissingText(remotePath, failure, "remote path")) return 0;
        if (pSize == nullptr) return MissingPlace(failure, "size");
        std::uint64_t size = 0;
        if (!session.RemoteSize(remotePath, size, failure)) return 0;
        *pSize = static_cast<long long>(size);
        return 1;
    }, IsNotOne);
}

int WINAPI QFTPFGFWCB(int hSession, const char* remotePath, const char* localPath, int mode,
                      QXPROGRESSCALLBACK callback, void* pContext) {
    return WithSession(hSession, 0, [&](FtpSession& session, Failure& failure) {
        std::wstring local;
        if (MissingText(remotePath, failure, "remote path") || !LocalPathArgument(localPath, local, failure)) return 0;
        return session.Download(remotePath, local, mode, callback, pContext, failure) ? 1 : 0;
    }, IsNotOne);
}

int WINAPI QFTPFGFWCBW(int hSession, const char* remotePath, const wchar_t* localPath, int mode,
                       QXPROGRESSCALLBACK callback, void* pContext) {
    return WithSession(hSession, 0, [&](FtpSession& session, Failure& failure) {
        if (MissingText(remotePath, failure, "remote path") || MissingText(localPath, failure, "local path")) return 0;
        return session.Download(remotePath, localPath, mode, callback, pContext, failure) ? 1 : 0;
    }, IsNotOne);
}

int WINAPI QFTPFPFWCB(int hSession, const char* localPath, const char* remotePath, int mode,
                      QXPROGRESSCALLBACK callback, void* pContext) {
    return WithSession(hSession, 0, [&](FtpSession& session, Failure& failure) {
        std::wstring local;
        if (!LocalPathArgument(localPath, local, failure) || MissingText(remotePath, failure, "remote path")) return 0;
        return session.Upload(local, remotePath, mode, callback, pContext, failure) ? 1 : 0;
    }, IsNotOne);
}

int WINAPI QFTPFGLE(int hSession, char* text, int capacity) {
    if (text != nullptr && capacity > 0) text[0] = '\0';
    std::shared_ptr<FtpSession> session = Sessions().Find(hSession);
    if (!session) return QXFTP_E_INVALID_HANDLE;
    try {
        const Failure last = session->LastError();
        CopyOut(last.text, text, capacity);
        return last.code;
    } catch (...) {
        return QXFTP_E_NO_RESOURCES;
    }
}

int WINAPI QFTPFCLE(int hSession) {
    std::shared_ptr<FtpSession> session = Sessions().Find(hSession);
    if (!session) return 0;
    session->ClearError();
    return 1;
}

int WINAPI QFTPRF(int hSession, const char* fromPath, const char* toPath) {
    return WithSession(hSession, 0, [&](FtpSession& session, Failure& failure) {
        if (MissingText(fromPath, failure, "old name") || MissingText(toPath, failure, "new name")) return 0;
        return session.Rename(fromPath, toPath, failure) ? 1 : 0;
    }, IsNotOne);
}

int WINAPI QFTPDF(int hSession, const char* remotePath) {
    return WithSession(hSession, 0, [&](FtpSession& session, Failure& failure) {
        if (MissingText(remotePath, failure, "remote path")) return 0;
        return session.Delete(remotePath, failure) ? 1 : 0;
    }, IsNotOne);
}

int WINAPI QFTPGFI(int hSession, const char* remotePath, long long* pSize, char* modified, int capacity) {
    return WithSession(hSession, 0, [&](FtpSession& session, Failure& failure) {
        if (MissingText(remotePath, failure, "remote path")) return 0;
        if (modified != nullptr && capacity <= 0) return MissingPlace(failure, "modification time");
        std::uint64_t size = 0;
        std::string stamp;
        if (!session.FileInfo(remotePath, size, stamp, failure)) return 0;
        if (modified != nullptr && !CopyOut(stamp, modified, capacity)) {
            qxftp::Fail(failure, QXFTP_E_BUFFER_TOO_SMALL, "the modification time does not fit");
            return 0;
        }
        if (pSize != nullptr) *pSize = static_cast<long long>(size);
        return 1;
    }, IsNotOne);
}

int WINAPI QFTPCF(int hSession, const char* remoteFolder) {
    return WithSession(hSession, 0, [&](FtpSession& session, Failure& failure) {
        if (MissingText(remoteFolder, failure, "folder")) return 0;
        return session.ChangeFolder(remoteFolder, failure) ? 1 : 0;
    }, IsNotOne);
}

int WINAPI QFTPFE(int hSession, const char* remotePath) {
    return WithSession(hSession, -1, [&](FtpSession& session, Failure& failure) {
        if (MissingText(remotePath, failure, "remote path")) return -1;
        return session.Exists(remotePath, failure);
    }, [](int result) { return result == -1; });
}

int WINAPI QFTPFFF(int hSession, const char* remotePath, char* name, int capacity) {
    return WithSession(hSession, 0, [&](FtpSession& session, Failure& failure) {
        if (name == nullptr || capacity < 2) return MissingPlace(failure, "name");
        name[0] = '\0';
        const size_t maxLength = std::min(static_cast<size_t>(capacity) - 1, MAX_LISTED_NAME);
        std::string first;
        if (!session.FirstName(Text(remotePath), maxLength, first, failure)) return 0;
        return CopyOut(first, name, capacity) ? 1 : 0;
    }, IsNotOne);
}

}  // extern "C"
