#include "download/FtpResume.h"

#include "config/DecimalText.h"

FtpResumeAction DecideFtpResume(const std::wstring& recordedSize, long long remoteSize,
                                std::optional<unsigned long long> targetSize) {
    if (recordedSize == L"ERR") return FtpResumeAction::Restart;
    const long long recorded = ParseDecimalPrefix(recordedSize);
    if (recorded != remoteSize || remoteSize < 0) return FtpResumeAction::Restart;
    if (targetSize && *targetSize == static_cast<unsigned long long>(recorded)) {
        return FtpResumeAction::AlreadyComplete;
    }
    return FtpResumeAction::Continue;
}
