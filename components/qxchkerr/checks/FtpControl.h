#pragma once
#include <string>

#include "checks/Deadline.h"
#include "checks/Socket.h"

// One reply of an FTP server: its three-digit code and its whole text (all lines).
struct FtpReply {
    int nCode = 0;
    std::string text;
};

enum class FtpReplyOutcome { Complete, TimedOut, Closed, Malformed };

// The control connection of an FTP session, just enough to greet, log on and ask for a size.
// Replies are bounded: a line longer than MAX_LINE or a reply longer than MAX_REPLY is Malformed.
class CFtpControl {
public:
    static const size_t MAX_LINE = 4096;
    static const size_t MAX_REPLY = 65536;

    explicit CFtpControl(UniqueSocket socket) : m_socket(std::move(socket)) {}

    // Reads one whole reply. A multi-line reply ("123-...") ends only at a line that starts with
    // the same code followed by a space.
    FtpReplyOutcome ReadReply(FtpReply& reply, const CDeadline& deadline);
    // Sends "<command>\r\n". Refuses (false) a command holding CR or LF, which would smuggle a
    // second command into the session.
    bool Send(const std::string& command, const CDeadline& deadline);

private:
    FtpReplyOutcome ReadLine(std::string& line, const CDeadline& deadline);

    UniqueSocket m_socket;
    std::string m_pending;  // bytes received after the last complete line
};
