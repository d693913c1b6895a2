#pragma once
#include <cstddef>
#include <string>

#include "protocol/FtpReply.h"

namespace qxftp {

constexpr size_t MAX_DIAGNOSTIC_TEXT = 1023;

// A message for the last-error entry: what failed, followed by the server's reply when there is
// one ("SIZE refused: 550 No such file."). Control characters become '?', so the text is one
// printable line. A server's text that would make it longer than MAX_DIAGNOSTIC_TEXT is cut and
// marked with "..." (the message says so; it is never cut silently).
std::string DescribeFailure(const std::string& what, const FtpReply* reply);

}  // namespace qxftp
