#pragma once
#include <cstddef>
#include <string>

#include "protocol/FtpReply.h"

namespace qxftp {

// Assembles server replies from the bytes of the control connection, as they arrive in pieces.
// A line ends at LF (a CR before it is dropped). A reply is one line "ddd text", or a multi-line
// reply that starts with "ddd-" and ends only at a line that starts with the same code followed
// by a space; inner lines may begin with anything, other codes included.
// Lines and replies are bounded: a longer line or a reply with more lines is malformed, so a
// hostile server cannot make the client buffer without end.
class ReplyAssembler {
public:
    static constexpr size_t MAX_LINE_LENGTH = 4096;
    static constexpr size_t MAX_LINES = 1000;

    enum class Status { NeedMore, Complete, Malformed };

    // Consumes bytes until one reply is complete or the input is used up; `consumed` says how
    // many bytes were taken (the rest belongs to the next reply). After Complete or Malformed,
    // further calls take nothing until Reset.
    Status Feed(const char* data, size_t size, size_t& consumed);

    // The finished reply; meaningful after Feed returned Complete.
    const FtpReply& Reply() const { return m_reply; }

    // Starts the next reply.
    void Reset();

private:
    Status EndLine();
    Status FirstLine();

    std::string m_line;
    FtpReply m_reply;
    size_t m_lineCount = 0;
    Status m_status = Status::NeedMore;
};

}  // namespace qxftp
