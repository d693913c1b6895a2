#include "protocol/ReplyAssembler.h"

#include <gtest/gtest.h>

#include "protocol/ReplyValues.h"

namespace qxftp {
namespace {

// Feeds the text in pieces of pieceSize and describes every reply ("code first|last"), then
// "rest:" and what did not finish a reply, or "malformed" at the first malformed reply.
std::vector<std::string> FeedAll(const std::string& text, size_t pieceSize) {
    std::vector<std::string> out;
    ReplyAssembler assembler;
    size_t done = 0;
    for (size_t pos = 0, consumed = 0; pos < text.size(); pos += consumed) {
        const size_t piece = std::min(pieceSize - pos % pieceSize, text.size() - pos);
        const auto status = assembler.Feed(text.data() + pos, piece, consumed);
        if (status == ReplyAssembler::Status::Malformed) return {"malformed"};
        if (status != ReplyAssembler::Status::Complete) continue;
        const FtpReply& r = assembler.Reply();
        out.push_back(std::to_string(r.code) + " " + r.firstLine + "|" + r.lastLine);
        assembler.Reset();
        done = pos + consumed;
    }
    out.push_back("rest:" + text.substr(done));
    return out;
}

TEST(ReplyAssembler, SameRepliesWhateverThePiecesOfTheStream) {
    const std::string stream =
        "220-Welcome\r\n230 an inner line may carry another code\r\n220-or the same code with a dash\r\n"
        " 220 indented, so not the end\r\n220 Ready.\r\n"
        "331 Password required\n"       // bare LF
        "150 go\r\n226 done\r\n200\r\n"  // the next reply's bytes stay for it; a code alone
        "213 12345";                    // not finished yet
    const std::vector<std::string> expected = {"220 Welcome|Ready.", "331 Password required|Password required",
                                               "150 go|go", "226 done|done", "200 |", "rest:213 12345"};
    for (size_t piece : {1, 2, 7, 4096}) EXPECT_EQ(FeedAll(stream, piece), expected) << piece;
}

TEST(ReplyAssembler, RefusesWhatIsNotAReplyAndBoundsLinesAndReplies) {
    const std::string longest(ReplyAssembler::MAX_LINE_LENGTH - 4, 'x');
    EXPECT_EQ(FeedAll("220 " + longest + "\r\n", 512).size(), 2u);
    std::string endless = "220-start\r\n";
    for (size_t i = 0; i < ReplyAssembler::MAX_LINES; ++i) endless += "220-more\r\n";
    // A line without end is refused as soon as it passes the bound, not when it ends.
    for (const std::string& text : std::vector<std::string>{"hello\r\n", "22\r\n", "600 high\r\n", "099 low\r\n", "220x\r\n",
                                                         "2a0 x\r\n", "\r\n", "220 " + longest + "y\r\n",
                                                         "220 " + std::string(100000, 'z'), endless + "220 end\r\n"})
        EXPECT_EQ(FeedAll(text, 4096), std::vector<std::string>{"malformed"}) << text.substr(0, 20);
}

// The parsed value, or "refused" when parsing failed and left the output alone.
std::string Value(char kind, int code, const std::string& text) {
    FtpReply r;
    r.code = code;
    r.firstLine = r.lastLine = text;
    std::uint64_t size = 7;
    std::uint16_t port = 7;
    std::string stamp = "7";
    const bool ok = kind == 'S' ? ParseSizeReply(r, size) : kind == 'M' ? ParseModifiedReply(r, stamp)
                    : kind == 'E' ? ParseExtendedPassiveReply(r, port) : ParsePassiveReply(r, port);
    const std::string value = kind == 'S' ? std::to_string(size) : kind == 'M' ? stamp : std::to_string(port);
    return ok ? value : value == "7" ? "refused" : "changed";
}

TEST(ReplyValues, SizeStampAndPassivePorts) {
    const struct {
        char kind;
        int code;
        const char *text, *expected;
    } cases[] = {
        {'S', 213, " 5368709120 ", "5368709120"}, {'S', 213, "9223372036854775807", "9223372036854775807"},
        {'S', 213, "9223372036854775808", "refused"}, {'S', 213, "12 bytes", "refused"}, {'S', 550, "12", "refused"},
        {'M', 213, "20240229235959.123", "20240229235959.123"}, {'M', 213, "2024022923595", "refused"},
        {'M', 213, "20240229235959.1234567890", "refused"}, {'M', 550, "20240229235959", "refused"},
        {'E', 229, "Entering Extended Passive Mode (|||6446|)", "6446"}, {'E', 229, "(!!!65535!).", "65535"},
        {'E', 229, "(|||65536|)", "refused"}, {'E', 229, "(|!|6446|)", "refused"}, {'E', 227, "(|||6446|)", "refused"},
        {'P', 227, "Mode 2 (127,0,0,1,200,10)", "51210"}, {'P', 227, "(127,0,0,1,0,0)", "refused"},
        {'P', 227, "(127,0,0,1,256,1)", "refused"}, {'P', 229, "(127,0,0,1,4,1)", "refused"},
    };
    for (const auto& c : cases) EXPECT_EQ(Value(c.kind, c.code, c.text), c.expected) << c.kind << " " << c.text;
}

}  // namespace
}  // namespace qxftp
