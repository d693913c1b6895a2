// The transfers of a session: passive data connections, download with resume, upload, name list.
#include <memory>
#include <vector>

#include "protocol/ReplyValues.h"
#include "protocol/ResumePlan.h"
#include "win32/FtpSession.h"
#include "win32/LocalFile.h"
#include "win32/StateRecord.h"
#include "win32/TransferParts.h"

namespace qxftp {

namespace {

std::string ByteCount(std::uint64_t received, std::uint64_t expected) {
    return std::to_string(received) + " of " + std::to_string(expected) + " bytes";
}

// The transfer buffer: one allocation per transfer, whatever the file's size.
bool AllocateBuffer(std::vector<char>& buffer, Failure& failure) {
    try {
        buffer.resize(TRANSFER_BUFFER_SIZE);
    } catch (...) {
        return Fail(failure, QXFTP_E_NO_RESOURCES, "no memory for the transfer buffer");
    }
    return true;
}

const char* const NO_DATA_TEXT = "no data from the server";

bool StoppedByCallback(Failure& failure) {
    return Fail(failure, QXFTP_E_STOPPED, "stopped by the progress callback");
}

// Receives while a progress change is held back: waits for data no longer than until that
// change is due, shows it, and waits on for the same receive, so that a pause does not leave the
// display behind what arrived. Bytes (0 at the end of the stream), or -1 with `failure` set
// after a failure, a time-out or a stop.
int ReceiveShowingHeldProgress(PendingReceive& receive, char* buffer, size_t capacity, DWORD timeoutMs,
                               TransferProgress& progress, Failure& failure) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        const ULONGLONG now = GetTickCount64();
        DWORD waitMs = now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
        const DWORD heldMs = progress.MsUntilHeldReport();
        if (heldMs < waitMs) waitMs = heldMs;
        int received = 0;
        int error = 0;
        const PendingReceive::Outcome outcome = receive.ReceiveWithin(buffer, capacity, waitMs, received, error);
        if (outcome == PendingReceive::Outcome::Received) return received;
        if (outcome == PendingReceive::Outcome::Failed) return ReceiveFailed(failure, error, NO_DATA_TEXT);
        if (GetTickCount64() >= deadline) return ReceiveFailed(failure, WSAETIMEDOUT, NO_DATA_TEXT);
        if (!progress.ReportHeld()) {
            StoppedByCallback(failure);
            return -1;
        }
    }
}

}  // namespace

bool FtpSession::OpenPassive(UniqueSocket& data, Failure& failure) {
    std::uint16_t port = 0;
    FtpReply reply;
    bool havePort = false;
    if (!m_pasvOnly && !m_epsvRefused) {
        if (!m_control.Command("EPSV", "", reply, failure)) return false;
        havePort = ParseExtendedPassiveReply(reply, port);
        if (!havePort && reply.code == 229) return Fail(failure, QXFTP_E_PROTOCOL, "unreadable EPSV reply", &reply);
        // A server (or a firewall) that does not know EPSV: PASV from now on in this session.
        if (!havePort) m_epsvRefused = true;
    }
    if (!havePort) {
        if (!m_control.Command("PASV", "", reply, failure)) return false;
        if (!ParsePassiveReply(reply, port)) {
            const int code = reply.code == 227 ? QXFTP_E_PROTOCOL : QXFTP_E_REFUSED;
            return Fail(failure, code, "no passive data connection offered", &reply);
        }
    }
    // Always the control connection's peer: the address in a PASV reply may be a private,
    // translated or forged one.
    SocketAddress address;
    if (!PeerAddressWithPort(m_control.Socket(), port, address)) {
        return Fail(failure, QXFTP_E_CONNECTION_LOST, "the control connection has no peer address");
    }
    if (!ConnectToAddress(address, CONNECT_TIMEOUT_MS, data, failure)) return false;
    if (!SetSocketTimeouts(data.Get(), m_receiveTimeoutMs, m_receiveTimeoutMs)) {
        return Fail(failure, QXFTP_E_NO_RESOURCES, "cannot set the data connection's time-outs");
    }
    return true;
}

bool FtpSession::StartAfresh(LocalFile& file, const StateRecord& record, const std::string& stamp,
                             Failure& failure) {
    // The stamp is recorded before the first byte arrives, so that any partial file left
    // behind is tied to the version it came from.
    return file.TruncateToZero(failure) && record.Write(stamp, failure);
}

bool FtpSession::ReceiveData(UniqueSocket& data, DataSink& sink, TransferProgress* progress, std::uint64_t offset,
                             std::uint64_t expected, std::uint64_t& received, Failure& failure) {
    std::vector<char> buffer;
    if (!AllocateBuffer(buffer, failure)) return false;
    size_t filled = 0;
    received = 0;
    // Bytes held in the buffer would be lost if the caller ends this thread during a stall (the
    // installer's watchdog does), so they are written out at least once a second, not only when
    // the buffer is full: a stall then costs at most the last second's data. (Waiting for data
    // with a deadline before every read would save that second too, but cost a fast stream
    // about a fifth of its throughput under Wine.)
    const ULONGLONG FLUSH_INTERVAL_MS = 1000;
    ULONGLONG lastFlush = GetTickCount64();
    // Declared after the buffer: a receive it still runs ends before the buffer goes.
    PendingReceive pending(data.Get());
    for (;;) {
        // A plain receive while no change is held: it costs the least per read.
        const int got =
            progress != nullptr && progress->MsUntilHeldReport() != INFINITE
                ? ReceiveShowingHeldProgress(pending, buffer.data() + filled, buffer.size() - filled,
                                             m_receiveTimeoutMs, *progress, failure)
                : ReceiveSome(data.Get(), buffer.data() + filled, buffer.size() - filled, failure, NO_DATA_TEXT);
        if (got < 0) {
            // Keep what arrived: it is a valid beginning of the file.
            Failure ignored;
            sink.Accept(buffer.data(), filled, ignored);
            return false;
        }
        if (got == 0) break;
        filled += static_cast<size_t>(got);
        received += static_cast<std::uint64_t>(got);
        if (received > expected) {
            return Fail(failure, QXFTP_E_INCOMPLETE, "the server sent more than the size it reported");
        }
        const ULONGLONG now = GetTickCount64();
        if (filled == buffer.size() || now - lastFlush >= FLUSH_INTERVAL_MS) {
            if (!sink.Accept(buffer.data(), filled, failure)) return false;
            filled = 0;
            lastFlush = now;
        }
        if (progress != nullptr && !progress->OnBytes(offset + received)) {
            if (!sink.Accept(buffer.data(), filled, failure)) return false;
            return StoppedByCallback(failure);
        }
    }
    return sink.Accept(buffer.data(), filled, failure);
}

bool FtpSession::ReadFinalReply(bool shortWait, FtpReply& reply, Failure& failure) {
    if (shortWait && !m_control.SetReceiveTimeout(SHORT_REPLY_TIMEOUT_MS)) {
        return Fail(failure, QXFTP_E_NO_RESOURCES, "cannot set the reply time-out");
    }
    const bool ok = m_control.ReadReply(reply, failure);
    if (ok && shortWait && !m_control.SetReceiveTimeout(m_receiveTimeoutMs)) {
        DropConnection();
        return Fail(failure, QXFTP_E_NO_RESOURCES, "cannot set the reply time-out");
    }
    return ok;
}

bool FtpSession::Download(const std::string& remotePath, const std::wstring& localPath, int mode,
                          QXPROGRESSCALLBACK callback, void* context, Failure& failure) {
    if (mode != QXFTP_MODE_REPLACE && mode != QXFTP_MODE_CONTINUE) {
        return Fail(failure, QXFTP_E_INVALID_ARGUMENT, "unknown transfer mode " + std::to_string(mode));
    }
    if (!RequireLogon(failure) || !SetBinaryType(failure)) return false;
    std::uint64_t remoteSize = 0;
    std::string stamp;
    if (!QuerySize(remotePath, remoteSize, failure) || !QueryModified(remotePath, stamp, failure)) return false;

    LocalFile file;
    bool existed = false;
    std::uint64_t localSize = 0;
    if (!file.OpenForWriting(localPath, existed, failure) || !file.Size(localSize, failure)) return false;
    const StateRecord record(localPath);

    ResumeFacts facts;
    facts.continueRequested = mode == QXFTP_MODE_CONTINUE;
    facts.localExists = existed;
    facts.localSize = localSize;
    facts.remoteSize = remoteSize;
    facts.remoteModified = stamp;
    facts.recordedModified = record.Read();
    const ResumePlan plan = PlanResume(facts);
    if (plan.action == ResumeAction::NothingToTransfer) return true;
    std::uint64_t offset = plan.offset;
    if (plan.action == ResumeAction::StartFromZero && !StartAfresh(file, record, stamp, failure)) return false;
    // The file is held against writers, so its end is still where the plan saw it.
    if (plan.action == ResumeAction::ContinueAtOffset && !file.SeekTo(offset, failure)) return false;

    UniqueSocket data;
    if (!OpenPassive(data, failure)) return false;
    FtpReply reply;
    if (offset > 0) {
        if (!m_control.Command("REST", std::to_string(offset), reply, failure)) return false;
        if (reply.code != 350) {
            // The server cannot continue: the whole file, then.
            offset = 0;
            if (!StartAfresh(file, record, stamp, failure)) return false;
        }
    }
    if (!m_control.Command("RETR", remotePath, reply, failure)) return false;
    if (!reply.IsPreliminary() && !reply.IsPositive()) {
        const int code = reply.code == 550 ? QXFTP_E_NOT_FOUND : QXFTP_E_REFUSED;
        return Fail(failure, code, "RETR refused", &reply);
    }
    const bool finalReplyPending = reply.IsPreliminary();

    FileSink sink(file);
    TransferProgress progress(callback, context, remoteSize, DOWNLOAD_REPORT_SPACING_MS);
    std::uint64_t received = 0;
    const bool dataEnded = ReceiveData(data, sink, &progress, offset, remoteSize - offset, received, failure);
    data.Reset();
    if (!dataEnded) {
        // Stopped, timed out or the local file failed: the control connection is in an unknown
        // state (a transfer reply may still come), so the session ends here.
        DropConnection();
        if (received > remoteSize - offset) {
            // The file is not the one SIZE described (it changed meanwhile): nothing of it is kept,
            // so that no caller takes a mixture for a whole file.
            Failure ignored;
            file.TruncateToZero(ignored);
        }
        return false;
    }
    // The byte count alone already tells a short transfer; the final reply is then only waited
    // for briefly (it keeps the session usable when it comes).
    const bool countRight = IsWholeDownload(226, offset, received, remoteSize);
    const std::string shortText = "transfer ended after " + ByteCount(offset + received, remoteSize);
    if (finalReplyPending && !ReadFinalReply(!countRight, reply, failure)) {
        return countRight ? false : Fail(failure, QXFTP_E_INCOMPLETE, shortText);
    }
    if (IsWholeDownload(reply.code, offset, received, remoteSize)) return true;
    if (!countRight) return Fail(failure, QXFTP_E_INCOMPLETE, shortText, &reply);
    return Fail(failure, QXFTP_E_INCOMPLETE, "the server reports the transfer failed", &reply);
}

bool FtpSession::Upload(const std::wstring& localPath, const std::string& remotePath, int mode,
                        QXPROGRESSCALLBACK callback, void* context, Failure& failure) {
    if (mode != QXFTP_MODE_REPLACE && mode != QXFTP_MODE_CONTINUE) {
        return Fail(failure, QXFTP_E_INVALID_ARGUMENT, "unknown transfer mode " + std::to_string(mode));
    }
    if (!RequireLogon(failure) || !SetBinaryType(failure)) return false;
    LocalFile file;
    std::uint64_t localSize = 0;
    if (!file.OpenForReading(localPath, failure) || !file.Size(localSize, failure)) return false;

    std::uint64_t offset = 0;
    FtpReply reply;
    if (mode == QXFTP_MODE_CONTINUE) {
        std::uint64_t remoteSize = 0;
        if (!m_control.Command("SIZE", remotePath, reply, failure)) return false;
        if (ParseSizeReply(reply, remoteSize)) {
            if (remoteSize == localSize) return true;
            if (remoteSize < localSize) offset = remoteSize;
        }
    }
    if (!file.SeekTo(offset, failure)) return false;

    UniqueSocket data;
    if (!OpenPassive(data, failure)) return false;
    const char* verb = offset > 0 ? "APPE" : "STOR";
    if (!m_control.Command(verb, remotePath, reply, failure)) return false;
    if (!reply.IsPreliminary() && !reply.IsPositive()) {
        return Fail(failure, QXFTP_E_REFUSED, std::string(verb) + " refused", &reply);
    }
    const bool finalReplyPending = reply.IsPreliminary();

    std::vector<char> buffer;
    if (!AllocateBuffer(buffer, failure)) return false;
    TransferProgress progress(callback, context, localSize);
    std::uint64_t sent = 0;
    for (;;) {
        size_t read = 0;
        if (!file.Read(buffer.data(), buffer.size(), read, failure)) {
            DropConnection();
            return false;
        }
        if (read == 0) break;
        if (!SendAll(data.Get(), buffer.data(), read, failure, "cannot send data")) {
            DropConnection();
            return false;
        }
        sent += read;
        if (!progress.OnBytes(offset + sent)) {
            DropConnection();
            return StoppedByCallback(failure);
        }
    }
    shutdown(data.Get(), SD_SEND);
    data.Reset();
    if (finalReplyPending && !ReadFinalReply(false, reply, failure)) return false;
    if (reply.code != 226 && reply.code != 250) {
        return Fail(failure, QXFTP_E_INCOMPLETE, "the server reports the transfer failed", &reply);
    }
    if (offset + sent != localSize) {
        return Fail(failure, QXFTP_E_LOCAL_FILE, "the local file changed during the upload");
    }
    // Where the server reports sizes, it must now hold exactly the local file's length.
    if (!m_control.Command("SIZE", remotePath, reply, failure)) return false;
    std::uint64_t stored = 0;
    if (ParseSizeReply(reply, stored) && stored != localSize) {
        return Fail(failure, QXFTP_E_INCOMPLETE, "the server holds " + ByteCount(stored, localSize));
    }
    return true;
}

bool FtpSession::FirstName(const std::string& remotePath, size_t maxLength, std::string& name, Failure& failure) {
    if (!RequireLogon(failure)) return false;
    UniqueSocket data;
    if (!OpenPassive(data, failure)) return false;
    FtpReply reply;
    if (!m_control.Command("NLST", remotePath, reply, failure)) return false;
    if (reply.code == 450 || reply.code == 550) return Fail(failure, QXFTP_E_NOT_FOUND, "nothing listed", &reply);
    if (!reply.IsPreliminary() && !reply.IsPositive()) return Fail(failure, QXFTP_E_REFUSED, "NLST refused", &reply);
    const bool finalReplyPending = reply.IsPreliminary();

    FirstLineSink sink(maxLength);
    std::uint64_t received = 0;
    const bool dataEnded = ReceiveData(data, sink, nullptr, 0, UINT64_MAX, received, failure);
    data.Reset();
    if (!dataEnded) {
        DropConnection();
        return false;
    }
    sink.EndLine();
    if (finalReplyPending && !ReadFinalReply(false, reply, failure)) return false;
    if (reply.code != 226 && reply.code != 250) return Fail(failure, QXFTP_E_INCOMPLETE, "listing failed", &reply);
    if (sink.TooLong()) return Fail(failure, QXFTP_E_BUFFER_TOO_SMALL, "the first name does not fit");
    if (sink.Line().empty()) return Fail(failure, QXFTP_E_NOT_FOUND, "the listing is empty");
    name = sink.Line();
    return true;
}

}  // namespace qxftp
