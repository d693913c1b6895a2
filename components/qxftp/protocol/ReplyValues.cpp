#include "protocol/ReplyValues.h"

#include <limits>

namespace qxftp {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The text with its surrounding blanks removed.
std::string Trimmed(const std::string& text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && text[begin] == ' ') ++begin;
    while (end > begin && text[end - 1] == ' ') --end;
    return text.substr(begin, end - begin);
}

// Reads a run of digits at text[pos] as a number not above `limit`; advances pos.
bool ReadBoundedNumber(const std::string& text, size_t& pos, std::uint64_t limit, std::uint64_t& value) {
    if (pos >= text.size() || !IsDigit(text[pos])) return false;
    std::uint64_t number = 0;
    while (pos < text.size() && IsDigit(text[pos])) {
        const std::uint64_t digit = static_cast<std::uint64_t>(text[pos] - '0');
        if (number > (limit - digit) / 10) return false;
        number = number * 10 + digit;
        ++pos;
    }
    value = number;
    return true;
}

}  // namespace

bool ParseSizeReply(const FtpReply& reply, std::uint64_t& size) {
    if (reply.code != 213) return false;
    const std::string text = Trimmed(reply.firstLine);
    size_t pos = 0;
    std::uint64_t value = 0;
    const auto limit = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    if (!ReadBoundedNumber(text, pos, limit, value) || pos != text.size()) return false;
    size = value;
    return true;
}

bool ParseModifiedReply(const FtpReply& reply, std::string& stamp) {
    if (reply.code != 213) return false;
    const std::string text = Trimmed(reply.firstLine);
    size_t pos = 0;
    while (pos < text.size() && IsDigit(text[pos])) ++pos;
    if (pos != 14) return false;
    if (pos < text.size()) {
        if (text[pos] != '.') return false;
        const size_t fractionStart = ++pos;
        while (pos < text.size() && IsDigit(text[pos])) ++pos;
        const size_t fractionLength = pos - fractionStart;
        if (fractionLength == 0 || fractionLength > 9 || pos != text.size()) return false;
    }
    stamp = text;
    return true;
}

bool ParseExtendedPassiveReply(const FtpReply& reply, std::uint16_t& port) {
    if (reply.code != 229) return false;
    const std::string& text = reply.firstLine;
    for (size_t open = text.find('('); open != std::string::npos; open = text.find('(', open + 1)) {
        size_t pos = open + 1;
        if (pos + 3 > text.size()) return false;
        const char delimiter = text[pos];
        if (delimiter < 33 || delimiter > 126 || IsDigit(delimiter)) continue;
        if (text[pos + 1] != delimiter || text[pos + 2] != delimiter) continue;
        pos += 3;
        std::uint64_t value = 0;
        if (!ReadBoundedNumber(text, pos, 65535, value) || value == 0) continue;
        if (pos + 1 >= text.size() || text[pos] != delimiter || text[pos + 1] != ')') continue;
        port = static_cast<std::uint16_t>(value);
        return true;
    }
    return false;
}

bool ParsePassiveReply(const FtpReply& reply, std::uint16_t& port) {
    if (reply.code != 227) return false;
    const std::string& text = reply.firstLine;
    for (size_t start = 0; start < text.size(); ++start) {
        if (!IsDigit(text[start]) || (start > 0 && IsDigit(text[start - 1]))) continue;
        std::uint64_t numbers[6] = {};
        size_t pos = start;
        bool ok = true;
        for (int i = 0; i < 6 && ok; ++i) {
            ok = ReadBoundedNumber(text, pos, 255, numbers[i]);
            if (ok && i < 5) ok = pos < text.size() && text[pos++] == ',';
        }
        if (!ok) continue;
        const std::uint64_t value = numbers[4] * 256 + numbers[5];
        if (value == 0) return false;
        port = static_cast<std::uint16_t>(value);
        return true;
    }
    return false;
}

}  // namespace qxftp
