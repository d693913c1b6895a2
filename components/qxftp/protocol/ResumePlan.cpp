#include "protocol/ResumePlan.h"

namespace qxftp {

ResumePlan PlanResume(const ResumeFacts& facts) {
    ResumePlan plan;
    if (!facts.continueRequested || !facts.localExists) return plan;

    const bool versionUnknownOrChanged =
        !facts.remoteModified.empty() && facts.recordedModified != facts.remoteModified;
    if (versionUnknownOrChanged) return plan;
    if (facts.localSize > facts.remoteSize) return plan;
    if (facts.localSize == facts.remoteSize) {
        plan.action = ResumeAction::NothingToTransfer;
        return plan;
    }
    if (facts.localSize == 0) return plan;
    plan.action = ResumeAction::ContinueAtOffset;
    plan.offset = facts.localSize;
    return plan;
}

bool IsWholeDownload(int finalReplyCode, std::uint64_t offset, std::uint64_t received,
                     std::uint64_t remoteSize) {
    if (finalReplyCode != 226 && finalReplyCode != 250) return false;
    return offset <= remoteSize && received == remoteSize - offset;
}

}  // namespace qxftp
