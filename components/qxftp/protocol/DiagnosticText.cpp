#include "protocol/DiagnosticText.h"

namespace qxftp {

std::string DescribeFailure(const std::string& what, const FtpReply* reply) {
    std::string text = what;
    if (reply != nullptr && reply->code != 0) {
        text += ": " + std::to_string(reply->code);
        const std::string& line = reply->lastLine.empty() ? reply->firstLine : reply->lastLine;
        if (!line.empty()) text += " " + line;
    }
    for (char& c : text) {
        if (static_cast<unsigned char>(c) < 32 || c == 127) c = '?';
    }
    if (text.size() > MAX_DIAGNOSTIC_TEXT) {
        text.resize(MAX_DIAGNOSTIC_TEXT - 3);
        text += "...";
    }
    return text;
}

}  // namespace qxftp
