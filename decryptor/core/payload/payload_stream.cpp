#include "payload/payload_stream.h"

#include <errno.h>

namespace orx::payload {

namespace {

int FileRead(void* context, void* buffer, size_t size, size_t* got) {
  FILE* file = static_cast<FILE*>(context);
  errno = 0;
  *got = fread(buffer, 1, size, file);
  if (*got == size || !ferror(file)) return 0;
  return errno ? errno : EIO;
}

size_t FileWrite(void* context, const void* data, size_t size) {
  return fwrite(data, 1, size, static_cast<FILE*>(context));
}

int FileSeek(void* context, int64_t offset, int origin) {
#if defined(_WIN32)
  return _fseeki64(static_cast<FILE*>(context), offset, origin);
#else
  return fseeko(static_cast<FILE*>(context), static_cast<off_t>(offset), origin);
#endif
}

int64_t FileTell(void* context) {
#if defined(_WIN32)
  return _ftelli64(static_cast<FILE*>(context));
#else
  return static_cast<int64_t>(ftello(static_cast<FILE*>(context)));
#endif
}

}  // namespace

PayloadStream PayloadStreamOverFile(FILE* file) {
  PayloadStream stream = {file, FileRead, FileWrite, FileSeek, FileTell, nullptr};
  return stream;
}

}  // namespace orx::payload
