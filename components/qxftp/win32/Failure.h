#pragma once
#include <string>

#include "QXFtp.h"
#include "protocol/DiagnosticText.h"
#include "protocol/FtpReply.h"

namespace qxftp {

// Why an operation failed: a QXFTP_E_* code and a one-line text for the last-error entry.
struct Failure {
    int code = QXFTP_E_NONE;
    std::string text;
};

// Fills `failure` and returns false, so that a failing step can end with `return Fail(...)`.
inline bool Fail(Failure& failure, int code, const std::string& what, const FtpReply* reply = nullptr) {
    failure.code = code;
    failure.text = DescribeFailure(what, reply);
    return false;
}

}  // namespace qxftp
