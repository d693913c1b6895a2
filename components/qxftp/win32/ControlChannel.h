#pragma once
#include <cstdint>
#include <string>

#include "protocol/FtpReply.h"
#include "protocol/ReplyAssembler.h"
#include "win32/Failure.h"
#include "win32/Winsock.h"

namespace qxftp {

// The control connection: commands out, whole replies in. Bytes that arrive after a reply (the
// next reply, already waiting) are kept for the next read.
class ControlChannel {
public:
    bool Open(const std::string& host, std::uint16_t port, DWORD connectTimeoutMs, DWORD receiveTimeoutMs,
              Failure& failure);
    void Close();
    bool IsOpen() const { return m_socket.IsValid(); }
    SOCKET Socket() const { return m_socket.Get(); }

    // How long one reply may take; the next read uses it.
    bool SetReceiveTimeout(DWORD receiveTimeoutMs);

    bool Send(const char* verb, const std::string& argument, Failure& failure);
    bool ReadReply(FtpReply& reply, Failure& failure);
    // Send, then read the reply to it.
    bool Command(const char* verb, const std::string& argument, FtpReply& reply, Failure& failure);

private:
    static constexpr size_t INPUT_CAPACITY = 4096;

    UniqueSocket m_socket;
    ReplyAssembler m_assembler;
    char m_input[INPUT_CAPACITY] = {};
    size_t m_inputStart = 0;
    size_t m_inputEnd = 0;
    DWORD m_sendTimeoutMs = 60000;
};

}  // namespace qxftp
