#pragma once
// GoogleTest's Notification (a start signal for the threads of its own tests), on a Win32 event:
// the win32 thread model's runtime has no std::mutex or std::condition_variable, of which
// GoogleTest makes its own. Included ahead of every GoogleTest source and test.
#define NOMINMAX 1  // as the project defines it
#include "../../components/handles/Handles.h"

namespace testing::internal {
class Notification {
public:
    Notification() = default;
    Notification(const Notification&) = delete;
    Notification& operator=(const Notification&) = delete;
    void Notify() { SetEvent(m_event.Get()); }
    void WaitForNotification() { WaitForSingleObject(m_event.Get(), INFINITE); }

private:
    UniqueHandle m_event{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
};
}  // namespace testing::internal
