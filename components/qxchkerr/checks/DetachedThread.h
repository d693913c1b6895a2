#pragma once
#include <functional>

// Runs `work` on a thread of its own that nobody waits for; false when no thread could be made.
// A plain Win32 thread whose handle is closed at once: the C++ library's detach() can fail (and
// throw) on a thread that has already ended, which would end the whole program.
bool StartDetachedThread(std::function<void()> work);
