#include "checks/FtpControl.h"

#include <cctype>

namespace {

bool StartsWithCode(const std::string& line) {
    return line.size() >= 3 && isdigit(static_cast<unsigned char>(line[0])) &&
           isdigit(static_cast<unsigned char>(line[1])) && isdigit(static_cast<unsigned char>(line[2]));
}

}  // namespace

FtpReplyOutcome CFtpControl::ReadLine(std::string& line, const CDeadline& deadline) {
    for (;;) {
        const size_t end = m_pending.find('\n');
        if (end != std::string::npos) {
            if (end > MAX_LINE) return FtpReplyOutcome::Malformed;
            line.assign(m_pending, 0, end);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            m_pending.erase(0, end + 1);
            return FtpReplyOutcome::Complete;
        }
        if (m_pending.size() > MAX_LINE) return FtpReplyOutcome::Malformed;
        char buffer[4096];
        int received = 0;
        switch (ReceiveWithin(m_socket.Get(), buffer, sizeof(buffer), received, deadline)) {
        case ReceiveOutcome::Data: m_pending.append(buffer, static_cast<size_t>(received)); break;
        case ReceiveOutcome::TimedOut: return FtpReplyOutcome::TimedOut;
        case ReceiveOutcome::Closed:
        case ReceiveOutcome::Failed: return FtpReplyOutcome::Closed;
        }
    }
}

FtpReplyOutcome CFtpControl::ReadReply(FtpReply& reply, const CDeadline& deadline) {
    std::string line;
    FtpReplyOutcome outcome = ReadLine(line, deadline);
    if (outcome != FtpReplyOutcome::Complete) return outcome;
    if (!StartsWithCode(line) || (line.size() > 3 && line[3] != ' ' && line[3] != '-'))
        return FtpReplyOutcome::Malformed;
    reply.nCode = (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
    reply.text = line;
    if (line.size() <= 3 || line[3] == ' ') return FtpReplyOutcome::Complete;

    const std::string last = line.substr(0, 3) + " ";
    for (;;) {
        outcome = ReadLine(line, deadline);
        if (outcome != FtpReplyOutcome::Complete) return outcome;
        if (reply.text.size() + line.size() + 1 > MAX_REPLY) return FtpReplyOutcome::Malformed;
        reply.text += "\n" + line;
        if (line.compare(0, 4, last) == 0) return FtpReplyOutcome::Complete;
    }
}

bool CFtpControl::Send(const std::string& command, const CDeadline& deadline) {
    if (command.find_first_of("\r\n") != std::string::npos) return false;
    return SendAllWithin(m_socket.Get(), command + "\r\n", deadline);
}
