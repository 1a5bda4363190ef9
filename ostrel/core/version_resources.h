// Port: version resources of program files.
#pragma once

#include <cstdint>

namespace ostrel {

class VersionResources {
 public:
  virtual ~VersionResources() = default;
  // GetFileVersionInfoSizeW: the block size, or 0 with *error set.
  virtual uint32_t InfoSize(const char16_t* path, uint32_t* error) = 0;
  // GetFileVersionInfoW into a block of `size` bytes; false with *error set.
  virtual bool ReadInfo(const char16_t* path, uint32_t size, void* block, uint32_t* error) = 0;
  // VerQueryValueW: false when the block holds no such value. *value points
  // into the block; *length counts bytes for binary values and characters
  // for texts, as VerQueryValueW reports it.
  virtual bool Query(const void* block, const char16_t* subBlock, const void** value,
                     uint32_t* length) = 0;
};

}  // namespace ostrel
