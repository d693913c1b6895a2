#pragma once
#include <optional>
#include <string>

enum class FtpResumeAction {
    Restart,          // delete target and partial file, record the remote size, fetch from zero
    AlreadyComplete,  // the target file already holds the package: no transfer
    Continue,         // keep the partial file; the library continues it
};

// The resume rule. recordedSize is the state file's "size" text ("ERR" when missing), read as
// a 64-bit decimal number; remoteSize is the server's size; targetSize is the target file's
// size, empty when it cannot be read. All comparisons are at 64 bits.
FtpResumeAction DecideFtpResume(const std::wstring& recordedSize, long long remoteSize,
                                std::optional<unsigned long long> targetSize);
