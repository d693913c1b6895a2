#include "protocol/CommandLine.h"
#include "protocol/DiagnosticText.h"

#include <gtest/gtest.h>

namespace qxftp {
namespace {

TEST(CommandLine, FormatsAndRefusesSmuggledCommands) {
    std::string line;
    EXPECT_TRUE(FormatCommand("RETR", "/pub/setup file.exe", line));
    EXPECT_EQ(line, "RETR /pub/setup file.exe\r\n");
    EXPECT_TRUE(FormatCommand("EPSV", "", line));
    EXPECT_EQ(line, "EPSV\r\n");

    line = "kept";
    EXPECT_FALSE(FormatCommand("RETR", "a\r\nDELE b", line));
    EXPECT_FALSE(FormatCommand("RETR", "a\nDELE b", line));
    EXPECT_FALSE(FormatCommand("RETR", std::string("a\0b", 3), line));
    EXPECT_FALSE(FormatCommand("RETR", std::string(kMaxCommandArgument + 1, 'a'), line));
    EXPECT_EQ(line, "kept");
    EXPECT_TRUE(FormatCommand("RETR", std::string(kMaxCommandArgument, 'a'), line));
}

TEST(DiagnosticText, OneBoundedPrintableLine) {
    FtpReply reply;
    reply.code = 550;
    reply.firstLine = "first";
    reply.lastLine = "No such\tfile.";
    EXPECT_EQ(DescribeFailure("SIZE refused", &reply), "SIZE refused: 550 No such?file.");
    EXPECT_EQ(DescribeFailure("cannot connect", nullptr), "cannot connect");

    reply.lastLine = std::string(5000, 'x');
    const std::string text = DescribeFailure("RETR refused", &reply);
    EXPECT_EQ(text.size(), kMaxDiagnosticText);
    EXPECT_EQ(text.substr(text.size() - 3), "...");
}

}  // namespace
}  // namespace qxftp
