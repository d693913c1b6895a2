#pragma once
#include <cstddef>
#include <string>

namespace qxftp {

constexpr size_t MAX_COMMAND_ARGUMENT = 4096;

// Builds one command line, "VERB argument\r\n" (or "VERB\r\n" for an empty argument).
// Returns false for an argument that holds CR, LF or NUL, which would smuggle a second command
// onto the control connection, or that is longer than MAX_COMMAND_ARGUMENT.
bool FormatCommand(const char* verb, const std::string& argument, std::string& line);

}  // namespace qxftp
