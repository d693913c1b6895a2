#pragma once
#include <string>

namespace qxftp {

// One complete reply of an FTP server: the three-digit code and the text of its first and last
// lines (the same line for a single-line reply). Inner lines of a multi-line reply are not kept.
struct FtpReply {
    int code = 0;
    std::string firstLine;
    std::string lastLine;

    bool IsPreliminary() const { return code >= 100 && code < 200; }
    bool IsPositive() const { return code >= 200 && code < 300; }
    bool IsIntermediate() const { return code >= 300 && code < 400; }
};

}  // namespace qxftp
