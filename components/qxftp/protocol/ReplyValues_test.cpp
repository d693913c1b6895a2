#include "protocol/ReplyValues.h"

#include <gtest/gtest.h>

namespace qxftp {
namespace {

FtpReply Reply(int code, const std::string& text) {
    FtpReply reply;
    reply.code = code;
    reply.firstLine = text;
    reply.lastLine = text;
    return reply;
}

TEST(ReplyValues, SizeReadsSixtyFourBitValuesAndNothingElse) {
    std::uint64_t size = 7;
    EXPECT_TRUE(ParseSizeReply(Reply(213, "0"), size));
    EXPECT_EQ(size, 0u);
    EXPECT_TRUE(ParseSizeReply(Reply(213, " 5368709120 "), size));
    EXPECT_EQ(size, 5368709120u);
    EXPECT_TRUE(ParseSizeReply(Reply(213, "9223372036854775807"), size));
    EXPECT_EQ(size, 9223372036854775807u);

    size = 7;
    for (const char* text : {"9223372036854775808", "99999999999999999999999", "", "12 bytes", "-1", "0x10"}) {
        EXPECT_FALSE(ParseSizeReply(Reply(213, text), size)) << text;
    }
    EXPECT_FALSE(ParseSizeReply(Reply(550, "12"), size));
    EXPECT_EQ(size, 7u);
}

TEST(ReplyValues, ModifiedStampMustBeAFullTimeStamp) {
    std::string stamp;
    EXPECT_TRUE(ParseModifiedReply(Reply(213, "20240229235959"), stamp));
    EXPECT_EQ(stamp, "20240229235959");
    EXPECT_TRUE(ParseModifiedReply(Reply(213, "20240229235959.123"), stamp));
    EXPECT_EQ(stamp, "20240229235959.123");
    stamp = "kept";
    for (const char* text : {"2024022923595", "202402292359590", "20240229235959.", "20240229235959.1234567890",
                             "20240229235959 UTC", "abc", ""}) {
        EXPECT_FALSE(ParseModifiedReply(Reply(213, text), stamp)) << text;
    }
    EXPECT_FALSE(ParseModifiedReply(Reply(550, "20240229235959"), stamp));
    EXPECT_EQ(stamp, "kept");
}

TEST(ReplyValues, ExtendedPassivePortWithAnyDelimiter) {
    std::uint16_t port = 0;
    EXPECT_TRUE(ParseExtendedPassiveReply(Reply(229, "Entering Extended Passive Mode (|||6446|)"), port));
    EXPECT_EQ(port, 6446);
    EXPECT_TRUE(ParseExtendedPassiveReply(Reply(229, "EPSV (ok) here (!!!65535!)."), port));
    EXPECT_EQ(port, 65535);

    port = 1;
    for (const char* text : {"(|||0|)", "(|||65536|)", "(||6446|)", "(|||6446)", "(|||6446|", "(|!|6446|)",
                             "(111222)", "(|||64a6|)", "no port", "(", "(|||"}) {
        EXPECT_FALSE(ParseExtendedPassiveReply(Reply(229, text), port)) << text;
    }
    EXPECT_FALSE(ParseExtendedPassiveReply(Reply(227, "(|||6446|)"), port));
    EXPECT_EQ(port, 1);
}

TEST(ReplyValues, PassivePortIgnoresTheAddress) {
    std::uint16_t port = 0;
    EXPECT_TRUE(ParsePassiveReply(Reply(227, "Entering Passive Mode (10,1,2,3,200,10)."), port));
    EXPECT_EQ(port, 200 * 256 + 10);
    EXPECT_TRUE(ParsePassiveReply(Reply(227, "=192,0,2,1,0,21"), port));
    EXPECT_EQ(port, 21);
    // A number in the free text before the tuple does not disturb it.
    EXPECT_TRUE(ParsePassiveReply(Reply(227, "Mode 2 (127,0,0,1,4,1)"), port));
    EXPECT_EQ(port, 1025);

    port = 1;
    for (const char* text : {"(127,0,0,1,0,0)", "(127,0,0,1,256,1)", "(127,0,0,1,4)", "(127,0,0,1,4,)",
                             "(1270,0,0,1,4,1)", "nothing"}) {
        EXPECT_FALSE(ParsePassiveReply(Reply(227, text), port)) << text;
    }
    EXPECT_FALSE(ParsePassiveReply(Reply(229, "(127,0,0,1,4,1)"), port));
    EXPECT_EQ(port, 1);
}

}  // namespace
}  // namespace qxftp
