// The payload stream port over a Windows file handle, so that the
// decryptor reads the payload and writes the plaintext through the very
// handles it opened (with the sharing it chose), without the C runtime's
// files on top.
#pragma once

#include <windows.h>

#include "payload/payload_stream.h"

namespace orx {

// The handle stays the caller's; it must be open for synchronous access.
payload::PayloadStream PayloadStreamOverHandle(HANDLE file);

}  // namespace orx
