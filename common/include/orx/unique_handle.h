// One move-only owner for every kind of handle. A traits type names the
// handle type, its "none" value and the function that releases it.
// Releasing keeps the thread's last error, so that a failure can still be
// reported after cleaning up what it left open. Secrets have their own
// owners (orx/secret.h).
// Header-only and without the C++ runtime, for the smallest programs.
#pragma once

#include <stdio.h>

#if defined(_WIN32)
#include <windows.h>
#endif

#include "orx/secret.h"

namespace orx {

template <typename Traits>
class UniqueHandle {
 public:
  using Type = typename Traits::Type;

  UniqueHandle() = default;
  explicit UniqueHandle(Type value) : value_(value) {}
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept : value_(other.release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ~UniqueHandle() { reset(); }

  Type get() const { return value_; }
  explicit operator bool() const { return value_ != Traits::None(); }
  // For out-parameters: releases what is held and hands out the slot.
  Type* put() {
    reset();
    return &value_;
  }
  Type release() {
    Type v = value_;
    value_ = Traits::None();
    return v;
  }
  void reset(Type value = Traits::None()) {
    if (value_ != Traits::None()) {
#if defined(_WIN32)
      DWORD saved = GetLastError();
      Traits::Release(value_);
      SetLastError(saved);
#else
      Traits::Release(value_);
#endif
    }
    value_ = value;
  }

 private:
  Type value_ = Traits::None();
};

struct CFileTraits {  // fopen and friends
  using Type = FILE*;
  static Type None() { return nullptr; }
  static void Release(Type f) { fclose(f); }
};
using CFile = UniqueHandle<CFileTraits>;

#if defined(_WIN32)
struct FileHandleTraits {  // CreateFileW: none is INVALID_HANDLE_VALUE
  using Type = HANDLE;
  static Type None() { return INVALID_HANDLE_VALUE; }
  static void Release(Type h) { CloseHandle(h); }
};
struct KernelHandleTraits {  // processes, mutexes, events: none is null
  using Type = HANDLE;
  static Type None() { return nullptr; }
  static void Release(Type h) { CloseHandle(h); }
};
struct RegKeyTraits {
  using Type = HKEY;
  static Type None() { return nullptr; }
  static void Release(Type k) { RegCloseKey(k); }
};
struct ModuleTraits {
  using Type = HMODULE;
  static Type None() { return nullptr; }
  static void Release(Type m) { FreeLibrary(m); }
};
struct LocalMemoryTraits {  // LocalAlloc'd, CommandLineToArgvW, FormatMessage
  using Type = HLOCAL;
  static Type None() { return nullptr; }
  static void Release(Type m) { LocalFree(m); }
};
struct GdiObjectTraits {  // pens, brushes, bitmaps, fonts, regions
  using Type = HGDIOBJ;
  static Type None() { return nullptr; }
  static void Release(Type o) { DeleteObject(o); }
};
struct MemoryDcTraits {  // CreateCompatibleDC
  using Type = HDC;
  static Type None() { return nullptr; }
  static void Release(Type dc) { DeleteDC(dc); }
};
using FileHandle = UniqueHandle<FileHandleTraits>;
using KernelHandle = UniqueHandle<KernelHandleTraits>;
using RegKey = UniqueHandle<RegKeyTraits>;
using Module = UniqueHandle<ModuleTraits>;
using LocalMemory = UniqueHandle<LocalMemoryTraits>;
using GdiObject = UniqueHandle<GdiObjectTraits>;
using MemoryDc = UniqueHandle<MemoryDcTraits>;
#endif

}  // namespace orx
