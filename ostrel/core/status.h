// Status codes, the map from Windows error numbers to them, and the
// process-wide last system error that ZT_GetLastErrorCode reports.
#pragma once

#include <cstdint>

#include "ostrel.h"

namespace ostrel {

// The Windows error numbers the library tells apart; the portable code needs
// no Windows headers.
namespace winerr {
constexpr uint32_t kFileNotFound = 2;
constexpr uint32_t kPathNotFound = 3;
constexpr uint32_t kAccessDenied = 5;
constexpr uint32_t kNotEnoughMemory = 8;
constexpr uint32_t kInvalidAccess = 12;
constexpr uint32_t kInsufficientBuffer = 122;
constexpr uint32_t kMoreData = 234;
constexpr uint32_t kNoUnicodeTranslation = 1113;
}  // namespace winerr

// Maps a Windows error number to a status; every number the map does not
// list, 0 included, gives ZT_ERR_SYSTEM. Touches no state.
int StatusFromWindowsError(uint32_t error);

// The last system error is one value for the whole process, shared by all
// threads: 0 at load, 0 again whenever a thread starts, set by each capture.
uint32_t LastSystemError();
void ResetLastSystemError();

// A capture: stores `error` (the thread's last error after a failed Windows
// call) as the last system error and returns its status from the map.
int CaptureSystemError(uint32_t error);

}  // namespace ostrel
