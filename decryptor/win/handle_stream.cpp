#include "handle_stream.h"

#include <stdio.h>

namespace orx {

namespace {

// ReadFile and WriteFile take at most a DWORD's worth at a time.
constexpr size_t kMostPerCall = 1u << 30;

// A read that gives nothing is the end of the file; a failed one is an
// error, reported with the system's code.
int HandleRead(void* context, void* buffer, size_t size, size_t* got) {
  *got = 0;
  while (*got < size) {
    DWORD want = static_cast<DWORD>(size - *got < kMostPerCall ? size - *got : kMostPerCall);
    DWORD read = 0;
    if (!ReadFile(context, static_cast<char*>(buffer) + *got, want, &read, nullptr)) {
      DWORD error = GetLastError();
      return error ? static_cast<int>(error) : static_cast<int>(ERROR_READ_FAULT);
    }
    if (read == 0) break;
    *got += read;
  }
  return 0;
}

size_t HandleWrite(void* context, const void* data, size_t size) {
  size_t done = 0;
  while (done < size) {
    DWORD want = static_cast<DWORD>(size - done < kMostPerCall ? size - done : kMostPerCall);
    DWORD put = 0;
    if (!WriteFile(context, static_cast<const char*>(data) + done, want, &put, nullptr) ||
        put == 0) {
      break;
    }
    done += put;
  }
  return done;
}

int HandleSeek(void* context, int64_t offset, int origin) {
  LARGE_INTEGER to;
  to.QuadPart = offset;
  DWORD method = origin == SEEK_END ? FILE_END : FILE_BEGIN;
  return SetFilePointerEx(context, to, nullptr, method) ? 0 : -1;
}

int64_t HandleTell(void* context) {
  LARGE_INTEGER none = {}, at;
  return SetFilePointerEx(context, none, &at, FILE_CURRENT) ? at.QuadPart : -1;
}

}  // namespace

payload::PayloadStream PayloadStreamOverHandle(HANDLE file) {
  payload::PayloadStream stream = {file, HandleRead, HandleWrite, HandleSeek, HandleTell, nullptr};
  return stream;
}

}  // namespace orx
