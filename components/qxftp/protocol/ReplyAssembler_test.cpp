#include "protocol/ReplyAssembler.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qxftp {
namespace {

using Status = ReplyAssembler::Status;

// Feeds the whole text and collects every reply; stops at the first malformed one.
struct Collected {
    std::vector<FtpReply> replies;
    bool malformed = false;
    std::string rest;  // bytes after the last complete reply that did not finish one
};

Collected FeedAll(const std::string& text, size_t pieceSize) {
    Collected out;
    ReplyAssembler assembler;
    size_t pos = 0;
    size_t restStart = 0;
    while (pos < text.size()) {
        const size_t piece = std::min(pieceSize, text.size() - pos);
        size_t offset = 0;
        while (offset < piece) {
            size_t consumed = 0;
            const Status status = assembler.Feed(text.data() + pos + offset, piece - offset, consumed);
            offset += consumed;
            if (status == Status::Malformed) {
                out.malformed = true;
                return out;
            }
            if (status == Status::Complete) {
                out.replies.push_back(assembler.Reply());
                assembler.Reset();
                restStart = pos + offset;
            }
        }
        pos += piece;
    }
    out.rest = text.substr(restStart);
    return out;
}

TEST(ReplyAssembler, AssemblesTheSameRepliesWhateverThePiecesOfTheStream) {
    const std::string stream =
        "220-Welcome to the test server\r\n"
        "230 this inner line carries another code\r\n"
        "220-an inner line with the same code and a dash\r\n"
        " 220 indented, so not the end\r\n"
        "220 Ready.\r\n"
        "331 Password required\n"      // bare LF
        "150 Opening data connection\r\n226 Transfer complete\r\n"
        "200\r\n"                       // code alone
        "213 12345";                    // not finished yet
    for (size_t piece : {size_t(1), size_t(2), size_t(7), size_t(4096)}) {
        const Collected got = FeedAll(stream, piece);
        ASSERT_FALSE(got.malformed) << piece;
        ASSERT_EQ(got.replies.size(), 5u) << piece;
        EXPECT_EQ(got.replies[0].code, 220);
        EXPECT_EQ(got.replies[0].firstLine, "Welcome to the test server");
        EXPECT_EQ(got.replies[0].lastLine, "Ready.");
        EXPECT_EQ(got.replies[1].code, 331);
        EXPECT_EQ(got.replies[1].lastLine, "Password required");
        EXPECT_EQ(got.replies[2].code, 150);
        EXPECT_TRUE(got.replies[2].IsPreliminary());
        EXPECT_EQ(got.replies[3].code, 226);
        EXPECT_TRUE(got.replies[3].IsPositive());
        EXPECT_EQ(got.replies[4].code, 200);
        EXPECT_EQ(got.replies[4].firstLine, "");
        EXPECT_EQ(got.rest, "213 12345");
    }
}

TEST(ReplyAssembler, LeavesTheBytesOfTheNextReplyUnconsumed) {
    ReplyAssembler assembler;
    const std::string both = "150 go\r\n226 done\r\n";
    size_t consumed = 0;
    ASSERT_EQ(assembler.Feed(both.data(), both.size(), consumed), Status::Complete);
    EXPECT_EQ(consumed, 8u);
    // A finished reply takes nothing more until Reset.
    size_t again = 99;
    EXPECT_EQ(assembler.Feed(both.data() + consumed, both.size() - consumed, again), Status::Complete);
    EXPECT_EQ(again, 0u);
    assembler.Reset();
    ASSERT_EQ(assembler.Feed(both.data() + consumed, both.size() - consumed, again), Status::Complete);
    EXPECT_EQ(assembler.Reply().code, 226);
}

TEST(ReplyAssembler, RefusesWhatIsNotAReply) {
    for (const char* text : {"hello\r\n", "22\r\n", "600 too high\r\n", "099 too low\r\n",
                             "220x\r\n", "2a0 letters\r\n", "\r\n"}) {
        EXPECT_TRUE(FeedAll(text, 3).malformed) << text;
    }
}

TEST(ReplyAssembler, BoundsLinesAndReplies) {
    const std::string longest(ReplyAssembler::kMaxLineLength - 4, 'x');
    Collected fits = FeedAll("220 " + longest + "\r\n", 512);
    ASSERT_EQ(fits.replies.size(), 1u);
    EXPECT_EQ(fits.replies[0].firstLine, longest);
    EXPECT_TRUE(FeedAll("220 " + longest + "y\r\n", 512).malformed);
    // A line without end is refused as soon as it passes the bound, not when it ends.
    EXPECT_TRUE(FeedAll("220 " + std::string(100000, 'z'), 4096).malformed);

    std::string endless = "220-start\r\n";
    for (size_t i = 0; i < ReplyAssembler::kMaxLines; ++i) endless += "220-more\r\n";
    EXPECT_TRUE(FeedAll(endless + "220 end\r\n", 4096).malformed);
}

}  // namespace
}  // namespace qxftp
