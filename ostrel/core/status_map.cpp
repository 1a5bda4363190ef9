#include <atomic>

#include "status.h"

namespace ostrel {

namespace {
// Atomic so that captures on two threads are ordinary races for the latest
// value, not undefined behaviour; the last capture in the process wins.
std::atomic<uint32_t> g_lastSystemError{0};
}  // namespace

int StatusFromWindowsError(uint32_t error) {
  switch (error) {
    case winerr::kFileNotFound:
    case winerr::kPathNotFound:
      return ZT_ERR_NOT_FOUND;
    case winerr::kAccessDenied:
    case winerr::kInvalidAccess:
      return ZT_ERR_ACCESS_DENIED;
    case winerr::kNotEnoughMemory:
      return ZT_ERR_MEMORY;
    default:
      return ZT_ERR_SYSTEM;
  }
}

uint32_t LastSystemError() { return g_lastSystemError.load(std::memory_order_relaxed); }

void ResetLastSystemError() { g_lastSystemError.store(0, std::memory_order_relaxed); }

int CaptureSystemError(uint32_t error) {
  g_lastSystemError.store(error, std::memory_order_relaxed);
  return StatusFromWindowsError(error);
}

}  // namespace ostrel
