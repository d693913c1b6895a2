#include "protocol/ReplyAssembler.h"

namespace qxftp {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

void ReplyAssembler::Reset() {
    m_line.clear();
    m_reply = FtpReply();
    m_lineCount = 0;
    m_status = Status::NeedMore;
}

ReplyAssembler::Status ReplyAssembler::Feed(const char* data, size_t size, size_t& consumed) {
    consumed = 0;
    while (m_status == Status::NeedMore && consumed < size) {
        const char c = data[consumed++];
        if (c == '\n') {
            if (!m_line.empty() && m_line.back() == '\r') m_line.pop_back();
            m_status = EndLine();
            m_line.clear();
        } else if (m_line.size() > MAX_LINE_LENGTH) {
            // One more than the bound is kept so that a CR just before the LF still fits.
            m_status = Status::Malformed;
        } else {
            m_line.push_back(c);
        }
    }
    return m_status;
}

ReplyAssembler::Status ReplyAssembler::FirstLine() {
    if (m_line.size() < 3 || !IsDigit(m_line[0]) || !IsDigit(m_line[1]) || !IsDigit(m_line[2]) ||
        m_line[0] < '1' || m_line[0] > '5') {
        return Status::Malformed;
    }
    m_reply.code = (m_line[0] - '0') * 100 + (m_line[1] - '0') * 10 + (m_line[2] - '0');
    if (m_line.size() == 3) return Status::Complete;
    if (m_line[3] != ' ' && m_line[3] != '-') return Status::Malformed;
    m_reply.firstLine = m_line.substr(4);
    if (m_line[3] == ' ') {
        m_reply.lastLine = m_reply.firstLine;
        return Status::Complete;
    }
    return Status::NeedMore;
}

ReplyAssembler::Status ReplyAssembler::EndLine() {
    if (m_line.size() > MAX_LINE_LENGTH) return Status::Malformed;
    if (++m_lineCount > MAX_LINES) return Status::Malformed;
    if (m_lineCount == 1) return FirstLine();

    const char code[3] = {static_cast<char>('0' + m_reply.code / 100),
                          static_cast<char>('0' + m_reply.code / 10 % 10),
                          static_cast<char>('0' + m_reply.code % 10)};
    const bool sameCode = m_line.size() >= 3 && m_line.compare(0, 3, code, 3) == 0;
    if (sameCode && m_line.size() == 3) return Status::Complete;
    if (sameCode && m_line[3] == ' ') {
        m_reply.lastLine = m_line.substr(4);
        return Status::Complete;
    }
    return Status::NeedMore;
}

}  // namespace qxftp
