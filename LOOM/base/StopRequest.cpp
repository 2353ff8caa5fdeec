#include "LOOM/base/StopRequest.h"

#include <atomic>

namespace {
// Lock-free, so a signal handler may set it.
std::atomic<bool> gStop{false};
static_assert(std::atomic<bool>::is_always_lock_free);
} // namespace

void RequestStop() noexcept { gStop.store(true, std::memory_order_relaxed); }

bool StopRequested() noexcept { return gStop.load(std::memory_order_relaxed); }

void ClearStopRequest() noexcept { gStop.store(false, std::memory_order_relaxed); }
