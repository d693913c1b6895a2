#pragma once
#include <cstdint>
#include <string>

#include "protocol/FtpReply.h"

namespace qxftp {

// Values carried in the text of single replies. Each parser accepts only the reply code that
// carries the value and returns false (leaving its output alone) for anything it cannot read whole.

// "213 <bytes>" to SIZE. The value must fit a signed 64-bit integer (it is handed out as one).
bool ParseSizeReply(const FtpReply& reply, std::uint64_t& size);

// "213 YYYYMMDDHHMMSS[.fraction]" to MDTM: the time stamp as the server wrote it.
bool ParseModifiedReply(const FtpReply& reply, std::string& stamp);
constexpr size_t MAX_MODIFIED_STAMP_LENGTH = 14 + 1 + 9;

// "229 text (|||port|)" to EPSV; any printable delimiter that is not a digit, used four times.
bool ParseExtendedPassiveReply(const FtpReply& reply, std::uint16_t& port);

// "227 text h1,h2,h3,h4,p1,p2" to PASV, with or without parentheses. Only the port is used:
// the data connection goes to the control connection's peer, never to the address in the text,
// which may be a private or forged one.
bool ParsePassiveReply(const FtpReply& reply, std::uint16_t& port);

}  // namespace qxftp
