// libFuzzer target: arbitrary control-connection bytes, cut into pieces by the first input byte,
// go through the reply assembler and every value parser. The invariants below must hold for any
// input; a sanitizer report or a trap is a finding.
#include <cstddef>
#include <cstdint>
#include <string>

#include "protocol/DiagnosticText.h"
#include "protocol/ReplyAssembler.h"
#include "protocol/ReplyValues.h"

namespace {

void Require(bool condition) {
    if (!condition) __builtin_trap();
}

void CheckReply(const qxftp::FtpReply& reply) {
    Require(reply.code >= 100 && reply.code <= 599);
    Require(reply.firstLine.size() <= qxftp::ReplyAssembler::MAX_LINE_LENGTH);
    Require(reply.lastLine.size() <= qxftp::ReplyAssembler::MAX_LINE_LENGTH);
    std::uint64_t size = 0;
    if (qxftp::ParseSizeReply(reply, size)) Require(size <= static_cast<std::uint64_t>(INT64_MAX));
    std::string stamp;
    if (qxftp::ParseModifiedReply(reply, stamp)) Require(stamp.size() <= qxftp::MAX_MODIFIED_STAMP_LENGTH);
    std::uint16_t port = 0;
    if (qxftp::ParseExtendedPassiveReply(reply, port)) Require(port != 0);
    port = 0;
    if (qxftp::ParsePassiveReply(reply, port)) Require(port != 0);
    Require(qxftp::DescribeFailure("fuzz", &reply).size() <= qxftp::MAX_DIAGNOSTIC_TEXT);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t piece = 1 + data[0] % 64;
    const char* bytes = reinterpret_cast<const char*>(data + 1);
    const std::size_t length = size - 1;

    qxftp::ReplyAssembler assembler;
    std::size_t pos = 0;
    while (pos < length) {
        const std::size_t chunk = piece < length - pos ? piece : length - pos;
        std::size_t offset = 0;
        while (offset < chunk) {
            std::size_t consumed = 0;
            const auto status = assembler.Feed(bytes + pos + offset, chunk - offset, consumed);
            Require(consumed <= chunk - offset);
            offset += consumed;
            if (status == qxftp::ReplyAssembler::Status::Malformed) return 0;
            if (status == qxftp::ReplyAssembler::Status::Complete) {
                Require(consumed > 0);
                CheckReply(assembler.Reply());
                assembler.Reset();
            } else {
                Require(offset == chunk);
            }
        }
        pos += chunk;
    }
    return 0;
}
