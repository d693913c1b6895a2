#pragma once
#include <windows.h>

#include <functional>
#include <memory>

#include "Handles.h"
#include "checks/DetachedThread.h"

// Runs `work` on its own thread and waits for it at most `milliseconds`. When it is late the
// caller gets `onTimeout` and goes on; the late thread finishes on its own (every check bounds
// its own blocking calls, so it does end) and its result is dropped. This is what lets a check
// promise its bound even around calls that take no timeout, such as the host name lookup.
//
// `work` runs after this function may have returned: it must own (capture by value) all it uses.
template <typename Result>
Result RunWithin(DWORD milliseconds, std::function<Result()> work, Result onTimeout) {
    struct Shared {
        UniqueHandle done{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
        Result result;
    };
    auto shared = std::make_shared<Shared>();
    // No event or no thread to be had: run it here, still bounded by its own timeouts.
    if (!shared->done) return work();
    const bool started = StartDetachedThread([shared, work]() {
        shared->result = work();
        SetEvent(shared->done.Get());  // the result is complete before anyone may read it
    });
    if (!started) return work();
    if (WaitForSingleObject(shared->done.Get(), milliseconds) != WAIT_OBJECT_0) return onTimeout;
    return shared->result;
}
