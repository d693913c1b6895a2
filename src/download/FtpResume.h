#pragma once
#include <optional>

enum class FtpResumeAction {
    Restart,          // delete target and partial file, record the remote size, fetch from zero
    AlreadyComplete,  // the target file already holds the package: no transfer
    Continue,         // keep the partial file; the library continues it
};

// The resume rule. recordedSize is the state file's "size" (ReadRecordedSize), empty when none
// is recorded; remoteSize is the server's size; targetSize is the target file's size, empty
// when it cannot be read. All comparisons are at 64 bits.
FtpResumeAction DecideFtpResume(std::optional<unsigned long long> recordedSize, long long remoteSize,
                                std::optional<unsigned long long> targetSize);
