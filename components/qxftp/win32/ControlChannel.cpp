#include "win32/ControlChannel.h"

#include "protocol/CommandLine.h"

namespace qxftp {

bool ControlChannel::Open(const std::string& host, std::uint16_t port, DWORD connectTimeoutMs,
                          DWORD receiveTimeoutMs, Failure& failure) {
    Close();
    UniqueSocket socket;
    if (!ConnectToHost(host, port, connectTimeoutMs, socket, failure)) return false;
    m_sendTimeoutMs = receiveTimeoutMs;
    if (!SetSocketTimeouts(socket.Get(), receiveTimeoutMs, m_sendTimeoutMs)) {
        return Fail(failure, QXFTP_E_NO_RESOURCES, "cannot set the connection's time-outs");
    }
    m_socket = std::move(socket);
    return true;
}

void ControlChannel::Close() {
    m_socket.Reset();
    m_assembler.Reset();
    m_inputStart = m_inputEnd = 0;
}

bool ControlChannel::SetReceiveTimeout(DWORD receiveTimeoutMs) {
    return m_socket.IsValid() && SetSocketTimeouts(m_socket.Get(), receiveTimeoutMs, m_sendTimeoutMs);
}

bool ControlChannel::Send(const char* verb, const std::string& argument, Failure& failure) {
    if (!m_socket.IsValid()) return Fail(failure, QXFTP_E_NOT_LOGGED_ON, "not connected");
    std::string line;
    if (!FormatCommand(verb, argument, line)) {
        return Fail(failure, QXFTP_E_INVALID_ARGUMENT,
                    std::string("argument of ") + verb + " holds a line break or is too long");
    }
    if (!SendAll(m_socket.Get(), line.data(), line.size(), failure, "cannot send a command")) {
        Close();
        return false;
    }
    return true;
}

bool ControlChannel::ReadReply(FtpReply& reply, Failure& failure) {
    if (!m_socket.IsValid()) return Fail(failure, QXFTP_E_NOT_LOGGED_ON, "not connected");
    m_assembler.Reset();
    for (;;) {
        if (m_inputStart < m_inputEnd) {
            size_t consumed = 0;
            const auto status = m_assembler.Feed(m_input + m_inputStart, m_inputEnd - m_inputStart, consumed);
            m_inputStart += consumed;
            if (status == ReplyAssembler::Status::Complete) {
                reply = m_assembler.Reply();
                return true;
            }
            if (status == ReplyAssembler::Status::Malformed) {
                Close();
                return Fail(failure, QXFTP_E_PROTOCOL, "the server sent something that is not a reply");
            }
        }
        m_inputStart = m_inputEnd = 0;
        const int received = ReceiveSome(m_socket.Get(), m_input, INPUT_CAPACITY, failure, "no reply from the server");
        if (received <= 0) {
            Close();
            if (received == 0) return Fail(failure, QXFTP_E_CONNECTION_LOST, "the server closed the connection");
            return false;
        }
        m_inputEnd = static_cast<size_t>(received);
    }
}

bool ControlChannel::Command(const char* verb, const std::string& argument, FtpReply& reply, Failure& failure) {
    return Send(verb, argument, failure) && ReadReply(reply, failure);
}

}  // namespace qxftp
