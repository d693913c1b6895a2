#pragma once
#include <windows.h>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

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
        std::mutex lock;
        std::condition_variable done;
        bool finished = false;
        Result result;
    };
    auto shared = std::make_shared<Shared>();
    const bool started = StartDetachedThread([shared, work]() {
        Result result = work();
        std::lock_guard<std::mutex> guard(shared->lock);
        shared->result = std::move(result);
        shared->finished = true;
        shared->done.notify_all();
    });
    // No thread to be had: run it here, still bounded by its own timeouts.
    if (!started) return work();
    std::unique_lock<std::mutex> guard(shared->lock);
    if (!shared->done.wait_for(guard, std::chrono::milliseconds(milliseconds),
                               [&shared] { return shared->finished; }))
        return onTimeout;
    return shared->result;
}
