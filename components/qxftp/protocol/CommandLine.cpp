#include "protocol/CommandLine.h"

namespace qxftp {

bool FormatCommand(const char* verb, const std::string& argument, std::string& line) {
    if (argument.size() > MAX_COMMAND_ARGUMENT) return false;
    if (argument.find_first_of(std::string("\r\n\0", 3)) != std::string::npos) return false;
    line = verb;
    if (!argument.empty()) {
        line += ' ';
        line += argument;
    }
    line += "\r\n";
    return true;
}

}  // namespace qxftp
