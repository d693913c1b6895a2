#include "download/FtpResume.h"

FtpResumeAction DecideFtpResume(std::optional<unsigned long long> recordedSize, long long remoteSize,
                                std::optional<unsigned long long> targetSize) {
    if (!recordedSize || remoteSize < 0 || *recordedSize != static_cast<unsigned long long>(remoteSize)) {
        return FtpResumeAction::Restart;
    }
    if (targetSize && *targetSize == *recordedSize) return FtpResumeAction::AlreadyComplete;
    return FtpResumeAction::Continue;
}
