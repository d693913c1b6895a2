#pragma once
#include <cstdint>
#include <string>

namespace qxftp {

// What a download knows before it asks for data.
struct ResumeFacts {
    bool continueRequested = false;   // mode 1: continue a local file that exists
    bool localExists = false;
    std::uint64_t localSize = 0;
    std::uint64_t remoteSize = 0;
    std::string remoteModified;       // MDTM stamp now; empty when the server gave none
    std::string recordedModified;     // stamp recorded when the local file was begun; empty if none
};

enum class ResumeAction {
    NothingToTransfer,   // the local file already holds the whole remote file
    StartFromZero,       // truncate the local file and fetch everything
    ContinueAtOffset,    // REST offset, then append to the local file
};

struct ResumePlan {
    ResumeAction action = ResumeAction::StartFromZero;
    std::uint64_t offset = 0;
};

// The rule that decides whether a local file may be continued. A partial file is only continued
// when it can be the beginning of the same remote version: when the server reports a modification
// time it must equal the one recorded at the start (a missing record counts as different), and
// the local file must not be longer than the remote one. Without MDTM only the sizes decide.
ResumePlan PlanResume(const ResumeFacts& facts);

// The verdict on a finished download. Only a positive final reply (226 or 250) together with
// exactly the expected byte count is a whole file: a reset can look like a clean end of stream.
bool IsWholeDownload(int finalReplyCode, std::uint64_t offset, std::uint64_t received,
                     std::uint64_t remoteSize);

}  // namespace qxftp
